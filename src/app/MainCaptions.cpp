#include "app/MainCaptions.h"

namespace velda {

const CaptionTable& MainMenuCaptions() {
    static const CaptionTable table{
        {QStringLiteral("Menu_File"), -1, QStringLiteral("&File"), QStringLiteral("ﾌｧｲﾙ(&F)")},
        {QStringLiteral("Menu_FileNew"), -1, QStringLiteral("&New"),
         QStringLiteral("新規作成(&N)")},
        {QStringLiteral("Menu_FileOpen"), -1, QStringLiteral("&Open..."),
         QStringLiteral("開く(&O)...")},
        {QStringLiteral("Menu_FileSave"), -1, QStringLiteral("&Save"),
         QStringLiteral("上書き保存(&S)")},
        {QStringLiteral("Menu_FileSaveAs"), -1, QStringLiteral("Save &As(WDB)..."),
         QStringLiteral("保存(独自形式)(&A)...")},
        {QStringLiteral("Menu_FileSaveAs2"), -1, QStringLiteral("Save As(&TXT)..."),
         QStringLiteral("保存(ﾃｷｽﾄ形式)(&T)...")},
        {QStringLiteral("Menu_FileImport"), -1, QStringLiteral("Import(&I)..."),
         QStringLiteral("ｲﾝﾎﾟｰﾄ(&I)...")},
        {QStringLiteral("Menu_Print"), -1, QStringLiteral("&Print..."),
         QStringLiteral("印刷(&P)...")},
        {QStringLiteral("Menu_Exit"), -1, QStringLiteral("&Exit"), QStringLiteral("終了(&X)")},
        {QStringLiteral("Menu_Edit"), -1, QStringLiteral("&Edit"), QStringLiteral("編集(&E)")},
        {QStringLiteral("Menu_Undo"), -1, QStringLiteral("&Undo"), QStringLiteral("元に戻す(&U)")},
        {QStringLiteral("Menu_Cut"), -1, QStringLiteral("Cu&t"), QStringLiteral("切り取り(&T)")},
        {QStringLiteral("Menu_Copy"), -1, QStringLiteral("&Copy"), QStringLiteral("ｺﾋﾟｰ(&C)")},
        {QStringLiteral("Menu_Paste"), -1, QStringLiteral("&Paste"),
         QStringLiteral("貼り付け(&P)")},
        {QStringLiteral("Menu_Delete"), -1, QStringLiteral("&Delete"), QStringLiteral("削除(&D)")},
        {QStringLiteral("Menu_Tools"), -1, QStringLiteral("&Tools"), QStringLiteral("ﾂｰﾙ(&T)")},
        {QStringLiteral("Menu_Create"), -1, QStringLiteral("Wave &Create..."),
         QStringLiteral("波形生成(&C)...")},
        {QStringLiteral("Menu_Spline"), -1, QStringLiteral("&Interpolate..."),
         QStringLiteral("補間編集(&I)...")},
        {QStringLiteral("Menu_Compute"), -1, QStringLiteral("&Operate..."),
         QStringLiteral("波形間演算(&O)...")},
        {QStringLiteral("Menu_Compress"), -1, QStringLiteral("Com&press/Decompress"),
         QStringLiteral("圧縮/伸張(&P)...")},
        {QStringLiteral("Menu_Set"), -1, QStringLiteral("&Setup"), QStringLiteral("設定(&S)")},
        {QStringLiteral("Menu_System"), -1, QStringLiteral("&Setup..."),
         QStringLiteral("ｼｽﾃﾑ設定(&S)...")},
        {QStringLiteral("Menu_Grid"), -1, QStringLiteral("Show &Grid"),
         QStringLiteral("ｸﾞﾘｯﾄﾞ表示(&G)")},
        {QStringLiteral("Menu_MHelp"), -1, QStringLiteral("&Help"), QStringLiteral("ﾍﾙﾌﾟ(&H)")},
        // The main help command's own item (the menu tree binds it to none).
        {QStringLiteral("Menu_Help"), -1, QStringLiteral("&Contents"), QStringLiteral("目次(&C)")},
        {QStringLiteral("Menu_Version"), -1, QStringLiteral("&About"),
         QStringLiteral("ﾊﾞｰｼﾞｮﾝ情報(&A)")},
    };
    return table;
}

const CaptionTable& MainLabelCaptions() {
    static const CaptionTable table{
        {QStringLiteral("Label_Mouse_Point"), 0, QStringLiteral("Mouse"),
         QStringLiteral("ﾏｳｽ位置")},
        {QStringLiteral("Label_Mouse_Point"), 1, QStringLiteral("Mouse"),
         QStringLiteral("ﾏｳｽ位置")},
        {QStringLiteral("Label_Zoom"), 0, QStringLiteral("Zoom"), QStringLiteral("ｽﾞｰﾑ")},
        {QStringLiteral("Label_Zoom"), 1, QStringLiteral("Zoom"), QStringLiteral("ｽﾞｰﾑ")},
        {QStringLiteral("Label_Zoom_X"), 0, QStringLiteral("&Horiz"), QStringLiteral("横(&H)")},
        {QStringLiteral("Label_Zoom_X"), 1, QStringLiteral("&Horiz"), QStringLiteral("横(&H)")},
        {QStringLiteral("Label_Zoom_Y"), -1, QStringLiteral("&Vert"), QStringLiteral("縦(&V)")},
        {QStringLiteral("Label_Scope_AB"), -1, QStringLiteral("dX(&-)"), QStringLiteral("dX(&-)")},
        {QStringLiteral("Label_MarkA_X"), -1, QStringLiteral("Mrk&A(X)"),
         QStringLiteral("ﾏｰｶ&A(X)")},
        {QStringLiteral("Label_MarkA_Y"), -1, QStringLiteral("   A(Y)"), QStringLiteral("   A(Y)")},
        {QStringLiteral("Label_MarkB_X"), -1, QStringLiteral("Mrk&B(X)"),
         QStringLiteral("ﾏｰｶ&B(X)")},
        {QStringLiteral("Label_MarkB_Y"), -1, QStringLiteral("   B(Y)"), QStringLiteral("   B(Y)")},
        {QStringLiteral("Opt_Scope"), 0, QStringLiteral("&Indep"), QStringLiteral("独立(&I)")},
        {QStringLiteral("Opt_Scope"), 1, QStringLiteral("t&Rack"), QStringLiteral("連動(&R)")},
        {QStringLiteral("Btn_Pattern"), 2, QStringLiteral("Invert(&/)"),
         QStringLiteral("反転(&/)")},
        {QStringLiteral("Btn_Pattern"), 3, QStringLiteral("Pattern(&*)"),
         QStringLiteral("ﾊﾟﾀｰﾝ(&*)")},
    };
    return table;
}

QStringList YZoomItems() {
    QStringList items;
    for (int k = 0; k <= 8; ++k)
        items << QStringLiteral("1:") + QString::number(1 << k);
    return items;
}

QStringList XZoomItems() {
    QStringList items = YZoomItems();
    items.removeLast(); // no "1:256" horizontally
    return items;
}

} // namespace velda
