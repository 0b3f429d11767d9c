#include "tools/CreateCaptions.h"

namespace velda::tools {

namespace {
QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}
} // namespace

const CaptionTable& CreateCaptions() {
    static const CaptionTable table = [] {
        CaptionTable t{
            {"CreateDialog", -1, u("VELDA - Waveform Create"), u("VELDA - 波形生成")},
            {"Menu_File", -1, u("&File"), u("ﾌｧｲﾙ(&F)")},
            {"Menu_FileOpen", -1, u("&Open..."), u("開く(&O)...")},
            {"Menu_FileSave", -1, u("&Save..."), u("保存(&S)...")},
            {"Menu_Print", -1, u("&Print..."), u("印刷(&P)...")},
            {"Menu_Edit", -1, u("&Edit"), u("編集(&E)")},
            {"Menu_Clear", -1, u("&Page Clear"), u("ｸﾘｱ(&P)")},
            {"Menu_AllClear", -1, u("&All Page Clear"), u("全ﾍﾟｰｼﾞｸﾘｱ(&A)")},
            {"Label_Wave", -1, u("Func&tion"), u("波形(&T)")},
            {"Label_Const", -1, u("&Constant"), u("定数(&C)")},
            {"Label_Scope_X", -1, u("Area(&X)"), u("範囲(&X)")},
            {"Label_To", -1, u("to"), u("～")},
            {"Frame_Expr", -1, u("Compute"), u("数式設定")},
            {"Frame_Std", -1, u("Standard"), u("標準波形")},
            {"Btn_Comp", -1, u("Co&mpute"), u("計算実行(&M)")},
            {"Opt_effect", 0, u("Effect"), u("有効")},
            {"Opt_effect", 1, u("No Effect"), u("無効")},
            {"Btn_Confirm", -1, u("All Page O&K"), u("全ﾍﾟｰｼﾞOK(&K)")},
            {"Btn_OK", -1, u("Pa&ge OK"), u("ﾍﾟｰｼﾞOK(&G)")},
            {"Btn_Cancel", -1, u("Cancel"), u("ｷｬﾝｾﾙ")},
        };
        const char* english[8] = {"DC &Offset", "Si&ze",     "&Amplitude", "&Period",
                                  "P&hase",     "Sym&metry", "Duty&Ratio", "Tra&nsition"};
        const char* japanese[8] = {"ｵﾌｾｯﾄ(&O)", "ｻｲｽﾞ(&Z)", "振幅(&A)",   "周期(&P)",
                                   "位相(&H)",  "傾斜(&M)", "ﾃﾞｭｰﾃｨ(&R)", "遷移(&N)"};
        for (int i = 0; i < 8; ++i)
            t.add({QStringLiteral("Label_Param"), i, u(english[i]), u(japanese[i])});
        return t;
    }();
    return table;
}

QStringList CreateWaveItems(bool english) {
    if (english)
        return {u("Sin"), u("Triangle"), u("Square"), u("Noise"), u("DC Volts"), u("Expression")};
    return {u("正弦波"), u("三角波"), u("方形波"), u("ノイズ"), u("DC"), u("波形関数")};
}

QString UnitTextItem(int index, bool english) {
    static const char* const en[UnitTextCount] = {"<Unit Setup>", "[X-Axis Unit]", "X-Axis Unit",
                                                  "Name",         "Min to Max",    "[Y-Axis Unit]",
                                                  "Y-Axis Unit",  "Name",          "Min to Max"};
    static const char* const ja[UnitTextCount] = {
        "<単位設定>", "[X軸単位]", "単位",         "ﾕｰｻﾞ単位名称",  "最小値～最大値",
        "[Y軸単位]",  "単位",      "ﾕｰｻﾞ単位名称", "最小値～最大値"};
    if (index < 0 || index >= UnitTextCount)
        return {};
    return u(english ? en[index] : ja[index]);
}

} // namespace velda::tools
