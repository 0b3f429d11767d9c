#include "setup/SystemCaptions.h"

namespace velda {
namespace {

CaptionRow row(const char* control, int index, const char* english, const char* japanese) {
    return {QString::fromUtf8(control), index, QString::fromUtf8(english),
            QString::fromUtf8(japanese)};
}

} // namespace

const CaptionTable& SystemDialogCaptions() {
    static const CaptionTable table{
        row("SystemDialog", -1, "VELDA - System Setup", "VELDA - ｼｽﾃﾑ設定"),
        // The tab pages carry their tab's caption; the dialog copies it to the tab.
        row("SSTab_Page", 0, "&System Setup", "ｼｽﾃﾑ設定(&S)"),
        row("SSTab_Page", 1, "&Unit Setup", "単位設定(&U)"),
        row("Frm_Basic", -1, "[Basic Setup]", "[機種設定]"),
        row("Frm_Memory", -1, "[Wave Memory Setup]", "[波形ﾒﾓﾘ設定]"),
        row("Frm_Trans", -1, "[Transfer]", "[転送]"),
        row("Frm_XUnit", -1, "[X-Axis Unit]", "[X軸単位]"),
        row("Frm_YUnit", -1, "[Y-Axis Unit]", "[Y軸単位]"),
        row("Label_System", -1, "&Model", "機種(&M)"),
        row("Label_Intfc", -1, "&Interface", "ｲﾝﾀﾌｪｰｽ(&I)"),
        row("Label_GPIB", -1, "&GPIB Address", "GPIBｱﾄﾞﾚｽ(&G)"),
        row("Label_USB", -1, "Se&rial Number", "ｼﾘｱﾙ番号(&R)"),
        row("Label_MSize", -1, "Memory Si&ze", "波形ﾒﾓﾘｻｲｽﾞ(&Z)"),
        row("Label_MName", -1, "Memory &Name", "波形ﾒﾓﾘ名(&N)"),
        row("Label_MNumber", -1, "Memory Num&ber", "波形ﾒﾓﾘ番号(&B)"),
        row("Label_Range", -1, "&Range", "出力ﾚﾝｼﾞ(&R)"),
        row("Label_Output", -1, "Output ON/OFF", "出力 ON/OFF"),
        row("Opt_Output", 0, "ON", "ON"),
        row("Opt_Output", 1, "OFF", "OFF"),
        row("Opt_Output", 2, "NO CHANGE", "NO CHANGE"),
        row("Label_Freq", -1, "Fre&quency", "周波数(&Q)"),
        row("Label_Freq_Unit", -1, "Hz", "Hz"),
        row("Label_Cycle", -1, "&Period", "周期(&P)"),
        row("Label_Cycle_Unit", -1, "sec", "sec"),
        row("Label_Ampl", -1, "&Amplitude", "振幅(&A)"),
        row("Label_Offs", -1, "DC &Offset", "DCｵﾌｾｯﾄ(&O)"),
        row("Label_Offs_Unit", -1, "V", "V"),
        row("Label_Offs_Btn", -1, "DC Off&set ON/OFF", "DCｵﾌｾｯﾄ ON/OFF(&S)"),
        row("Opt_Offs", 0, "ON", "ON"),
        row("Opt_Offs", 1, "OFF", "OFF"),
        row("Btn_Trans", 0, "Oscil&lator Setup", "発振器設定(&L)"),
        row("Btn_Trans", 1, "&Waveform Data", "波形ﾃﾞｰﾀ (&W)"),
        row("Label_Unit_Time", -1, "&X-Axis Unit", "単位(&X)"),
        row("Label_Unit_Volt", -1, "&Y-Axis Unit", "単位(&Y)"),
        row("Label_Unit_Name_X", -1, "Name", "名称"),
        row("Label_Unit_Name_Y", -1, "Name", "名称"),
        row("Label_Unit_VUser", 0, "Min to Max", "最小値～最大値"),
        row("Label_Unit_VUser", 1, "Min to Max", "最小値～最大値"),
        row("Label_To", 0, "to", "～"),
        row("Label_To", 1, "to", "～"),
        row("Btn_OK", -1, "OK", "OK"),
        row("Btn_Cancel", -1, "Cancel", "ｷｬﾝｾﾙ"),
        row("Btn_Help", -1, "Help", "ﾍﾙﾌﾟ"),
        row("Menu_File", -1, "System Setup &File", "ｼｽﾃﾑ設定ﾌｧｲﾙ(&F)"),
        row("Menu_FileOpen", -1, "&Open...", "開く(&O)..."),
        row("Menu_FileSave", -1, "&Save...", "保存(&S)..."),
        row("Menu_FilePrint", -1, "&Print...", "印刷(&P)..."),
    };
    return table;
}

ModelKindCaptions SystemModelKindCaptions(bool powerSource, bool english) {
    if (powerSource) {
        return english ? ModelKindCaptions{QStringLiteral("[Power Setup]"), QStringLiteral("&Mode"),
                                           QStringLiteral("V")}
                       : ModelKindCaptions{QString::fromUtf8("[電源設定]"),
                                           QString::fromUtf8("モード(&M)"), QStringLiteral("V")};
    }
    return english ? ModelKindCaptions{QStringLiteral("[Oscillator Setup]"),
                                       QStringLiteral("&Channel"), QStringLiteral("Vp-p")}
                   : ModelKindCaptions{QString::fromUtf8("[発振器設定]"),
                                       QString::fromUtf8("ﾁｬﾈﾙ(&C)"), QStringLiteral("Vp-p")};
}

QStringList SystemUnitItems(int axis, bool english) {
    if (axis == 0) {
        return english ? QStringList{QStringLiteral("Address"), QStringLiteral("Time"),
                                     QStringLiteral("User Unit")}
                       : QStringList{QString::fromUtf8("ｱﾄﾞﾚｽ"), QString::fromUtf8("時間"),
                                     QString::fromUtf8("ﾕｰｻﾞ単位")};
    }
    return english ? QStringList{QStringLiteral("Data"), QStringLiteral("Voltage"),
                                 QStringLiteral("User Unit")}
                   : QStringList{QString::fromUtf8("ﾃﾞｰﾀ"), QString::fromUtf8("電圧"),
                                 QString::fromUtf8("ﾕｰｻﾞ単位")};
}

} // namespace velda
