#include "app/Messages.h"

#include <array>

namespace velda {
namespace {

bool g_english = true;

struct MessageRow {
    int number;
    const char16_t* english;
    const char16_t* japanese;
};

// Numbers not listed have empty texts.
constexpr MessageRow kRows[] = {
    {0, u"System Exit.", u"システムを終了します。"},
    {1, u"System Initialize Faild.", u"システムの初期化に失敗しました。"},
    {2, u"No System Setup file.", u"機種ファイルが見つかりません。"},
    {3, u"System Setup file Read error.",
     u"機種ファイルのオープンまたは、読み込みに失敗しました。"},
    {4, u"KOVA VELDA is Active! Please Exit KOVA VELDA Before System Shutdown.",
     u"KOVA VELDA が動作中です。終了してからWindowsを終了してください。"},
    {5, u"File Exist. Overwrite it?", u"ファイルに上書きしますか？"},
    {6, u"File permission denied.", u"ファイルの書き込み許可がありません。"},
    {7, u"Invalid file extension.", u"指定されたファイルの拡張子に誤りがあります。"},
    {8, u"Invalid filename.", u"ファイル名に誤りがあります。"},
    {9, u"Incorrespondence file extension. Do you want continue?",
     u"指定されたファイルの拡張子が一致していません。このファイル形式で保存しますか？"},
    {10, u"Memory Allocation Failed.", u"メモリを獲得できませんでした。"},
    {11, u"System Setup file Format Error.", u"機種ファイルの文法エラーです。"},
    {12, u"System Setup file Parameter Error.", u"機種ファイルの値に誤りがあります。"},
    {18, u"Constant format error.", u"定数の書式に誤りがあります。"},
    {20, u"No Spline point.", u"制御点が設定されていません。"},
    {21, u"Cannot create two Spline point on same X. Do you want continue?",
     u"左端と右端は同一点です。編集すると反対側の点も変更されます。よろしいですか？"},
    {30, u"Illegal Font Size.", u"指定したフォントサイズが不正です。"},
    {71, u"File Read error.", u"ファイルの読み込みに失敗しました。"},
    {72, u"File Write error.", u"ファイルの書き込みに失敗しました。"},
    {80, u"ClipBoard Open error.", u"クリップボードデータのオープンに失敗しました。"},
    {81, u"ClipBoard Read error.", u"クリップボードデータの読み込みに失敗しました。"},
    {82, u"ClipBoard Write error.", u"クリップボードデータの書き込みに失敗しました。"},
    {83, u"ClipBoard Error.", u"クリップボードのエラーでです。"},
    {98, u"Exit Program. Are you sure?", u"プログラムを終了します。よろしいですか？"},
    {99, u"Cannot find help file.", u"ヘルプファイルが見つかりません。"},
    {100, u"Syntax error in equation.", u"波形関数の文法エラーです。"},
    {101, u"Lack of parenthesis.", u"関数名の後括弧がありません。"},
    {102, u"Unbalance of parenthesis.", u"括弧が不揃いです。"},
    {103, u"Error of number of argument.", u"波形関数の引数の数が不正です。"},
    {104, u"Divide by 0.", u"0で除算しました。"},
    {105, u"Buffer insufficient.", u"バッファ領域が不足です。"},
    {106, u"Compile error.", u"コンパイルできませんでした。"},
    {107, u"Insufficient memory.", u"メモリが不足しています。"},
    {108, u"Syntax error in equation.", u"波形関数の文法エラーです。"},
    {110, u"Too Long equation.", u"式が長すぎます。"},
    {111, u"Unbalance of parenthesis.", u"[]が不揃いです。"},
    {112, u"Loop overflow.", u"繰り返しの組み合わせが複雑すぎます。"},
    {113, u"Loop overflow.", u"繰り返し回数が大きすぎます。"},
    {114, u"Unbalance of parenthesis.", u"{}が不揃いです。"},
    {115, u"Syntax error.", u"{}内の式の、文法エラーです。"},
    {116, u"Syntax error.", u"文法エラーです。"},
    {117, u"Syntax error.", u"文法エラーです。"},
    {118, u"Syntax error.", u"文法エラーです。"},
    {200, u"Interface System error", u"Interface システムエラー"},
    {201, u"Function requires interface board to be CIC",
     u"Interfaceボードがアクティブな状態に\rなっていません。"},
    {202, u"No Listeners on the interface", u"Interface に、デバイスが接続されていません。"},
    {203, u"Interface board not addressed correctly", u"Interfaceボードのアドレスが不正です。"},
    {204, u"Interface Invalid argument to function call", u"Interfaceドライバの引数が不正です。"},
    {205, u"Interface board not System Controller as required",
     u"Interfaceボードに、コントローラ機能がありません。"},
    {206, u"Interface I/O operation aborted(timeout)",
     u"InterfaceのI/O動作が中断されました（タイムアウト）。"},
    {207, u"Nonexistent interface board", u"Interfaceボードが見つかりません。"},
    {208, u"Interface DMA error", u"InterfaceのDMAで、エラーが発生しました。"},
    {210, u"Interface Asynchronous I/O in progress", u"Interfaceの非同期I/Oが、動作中です。"},
    {212, u"Interface No capability for operation",
     u"Interfaceに、使用しようとした機能がありません。"},
    {214, u"Interface File system error", u"Interfaceで、ファイルエラーが発生しました。"},
    {215, u"Interface bus error", u"Interfaceバスエラー"},
    {216, u"Interface Serial poll status byte queue overflow",
     u"ステータスバイトのキューが、\rオーバフローしました。"},
    {220, u"Interface SRQ stuck in ON position", u"SRQが出続けています。"},
    {221, u"Interface Table problem", u"Interfaceの内部処理で、\rオーバフローしました。"},
    {223, u"Interface Busy!", u"Interface は使用中です。実行できません。"},
    {224, u"Interface address error. Check Address.",
     u"Interface アドレスエラー。アドレスを確認してください。"},
    {225, u"Interface other error", u"Interface で未定義のエラーが発生しました。"},
    {226, u"Interface Busy. Press 'Copy Wave Data' Cancel button.",
     u"Interface は使用中です。波形転送を中断、\rまたは完了してから終了してください。"},
    {227, u"Interface Busy. Wait...", u"Interface は使用中です。しばらく待ちください。"},
    {228, u"This Address is Controller Address.",
     u"設定されたアドレスはコントローラが使用しています。"},
    {230, u"Interface command error. Check Model.",
     u"Interface コマンドエラー。機種の確認をしてください。"},
    {240, u"There is no plug-in DLL file.", u"プラグインDLLファイルがありません。"},
    {241, u"Invalid file format.", u"ファイルフォーマットが不正です。"},
};

struct Table {
    std::array<QString, MessageCount> english;
    std::array<QString, MessageCount> japanese;
    bool built = false;
};

Table& table() {
    static Table t;
    return t;
}

} // namespace

bool English() {
    return g_english;
}
void Set_Language(bool english) {
    g_english = english;
}

QString FormFontName() {
    return g_english ? QStringLiteral("Arial") : QStringLiteral(u"ＭＳ ゴシック");
}
QString SymbolFontName() {
    return g_english ? QStringLiteral("Arial") : QStringLiteral("Symbol");
}

void Init_Message() {
    Table& t = table();
    if (t.built)
        return;
    for (const MessageRow& row : kRows) {
        t.english[row.number] = QString::fromUtf16(row.english);
        t.japanese[row.number] = QString::fromUtf16(row.japanese);
    }
    t.built = true;
}

QString MessageText(int n, bool english) {
    Init_Message();
    if (n < 0 || n >= MessageCount)
        return {};
    return english ? table().english[n] : table().japanese[n];
}

QString GetMessage(int n) {
    return MessageText(n, g_english) + QLatin1Char('\r');
}

QString NoBitMaskText() {
    // Our own, so kept out of the numbered table, whose numbers without a
    // text must stay empty.
    return (g_english
                ? QStringLiteral(
                      "The model's waveform script has no bit mask (arbmask). Nothing was sent.")
                : QStringLiteral(u"機種の波形スクリプトにビットマスク (arbmask) "
                                 u"がありません。送信しませんでした。")) +
           QLatin1Char('\r');
}

void ShowError(int n) {
    ShowErrorText(GetMessage(n));
}

void ShowErrorText(const QString& text) {
    prompts().showBox({QStringLiteral("Error Message"), text, BoxIcon::None, BoxButtons::Ok});
}

Answer ShowWarning(const QString& text) {
    return prompts().showBox(
        {QStringLiteral("Warning Message"), text, BoxIcon::Stop, BoxButtons::YesNo});
}

Answer AskCaution(int n) {
    return prompts().showBox(
        {QStringLiteral("Caution Message"), GetMessage(n), BoxIcon::Question, BoxButtons::YesNo});
}

void ShowCautionStop(const QString& text) {
    prompts().showBox({QStringLiteral("Caution Message"), text, BoxIcon::Stop, BoxButtons::Ok});
}

void ShowStop(const QString& title, const QString& text) {
    prompts().showBox({title, text, BoxIcon::Stop, BoxButtons::Ok});
}

} // namespace velda
