// The System Setup dialog driven as a user drives it: opened from the main
// window's Setup menu, its controls found by objectName, keys and clicks sent
// with QTest, boxes answered by the recording handler.
#include "ProgramWindowFixture.h"
#include "SocketBus.h"
#include "TestInstrument.h"
#include "app/CaptionsWidget.h"
#include "app/Help.h"
#include "app/Messages.h"
#include "app/Program.h"
#include "app/Registry.h"
#include "app/Twips.h"
#include "control/Transfer.h"
#include "control/clsGpibCommand.h"
#include "document/MainWindow.h"
#include "engine/wavelb32.h"
#include "forms/FrmGPIBExit.h"
#include "setup/SystemCaptions.h"
#include "setup/SystemDialog.h"
#include "setup/SystemParameterCodec.h"
#include "setup/UpDownWidget.h"
#include "units/NumberText.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

using namespace velda;

namespace {

// Models of the shipped model file.
enum : int {
    PowerSource = 0, // 4 modes, 2 ranges each, 4096 points, USB(TMC) + NI GPIB
    Awg1101 = 1,     // 1 channel, 3 ranges, memory numbers 0..3, USB(TMC) only
    Awg1102 = 2,     // 2 channels, memory names, 1024..65536 points, USB(TMC) + NI GPIB
    Awg2201 = 3,     // addresses 0..30, no offset, NI GPIB + KI GPIB
    Awg2202 = 4,     // NI GPIB only
    Fg4101 = 7,      // every interface
};

struct LanguageGuard {
    explicit LanguageGuard(bool english) { Set_Language(english); }
    ~LanguageGuard() { Set_Language(true); }
};

class SystemDialogTest : public test::ProgramWindowTest {
protected:
    // The exit command answered Yes; the program object ends with the window.
    void exitProgram() {
        prompts.answers.push_back(Answer::Yes);
        ASSERT_TRUE(window->Form_QueryUnload(UnloadMode::User));
        window.reset();
        program.reset();
        dlg = nullptr;
    }

    SystemDialog* open() {
        window->Menu_System->trigger();
        dlg = window->findChild<SystemDialog*>(QStringLiteral("SystemDialog"));
        return dlg;
    }
    template <class T> T* get(const QString& name) const { return test::control<T>(dlg, name); }
    QLineEdit* edit(const QString& name) const { return get<QLineEdit>(name); }
    QComboBox* combo(const QString& name) const { return get<QComboBox>(name); }
    // Replaces the field's text by typing and applies it with `key`.
    void type(const QString& name, const QString& text, Qt::Key key = Qt::Key_Return) {
        QLineEdit* e = edit(name);
        e->setFocus();
        e->selectAll();
        QTest::keyClick(e, Qt::Key_Delete);
        QTest::keyClicks(e, text);
        QTest::keyClick(e, key);
    }
    void choose(const QString& name, int index) { combo(name)->setCurrentIndex(index); }
    void click(const QString& name) {
        QTest::mouseClick(get<QAbstractButton>(name), Qt::LeftButton);
    }
    int selectInterface(const QString& text) {
        const int i = combo(QStringLiteral("Comb_Intfc"))->findText(text);
        EXPECT_GE(i, 0) << text.toStdString();
        choose(QStringLiteral("Comb_Intfc"), i);
        return i;
    }
    SystemParameter& param() { return program->Setup.Param; }
    // AWG-1102 on the simulated bus, whose replies say it is one and well.
    void useSimulatedAwg1102() {
        choose(QStringLiteral("Comb_System"), Awg1102);
        selectInterface(QStringLiteral("Simulated"));
        ASSERT_EQ(program->Setup.InterfaceKind, IfSimulated);
        const QString replies = dir.filePath(QStringLiteral("replies.ini"));
        program->Registry->setSetting(QStringLiteral("System"), QStringLiteral("BusInit"),
                                      QStringLiteral("INI_FILE = ") + replies);
        control::clsGpibCommand main;
        control::Load_Script(main, program->Setup.CommandTables[0], program->Setup.Param);
        int32_t start = 0, length = 0;
        QString expected;
        const QString query = main.Model(start, length, expected);
        QFile f(replies);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        QString text = QStringLiteral("[ADRS%1]\n").arg(param().GpibAddress);
        text += query + QLatin1Char('=') + QString(std::max(start, 1) - 1, QLatin1Char('X')) +
                expected + QStringLiteral(",SN1,1.0\n");
        if (!main.GetStatus().isEmpty())
            text += main.GetStatus() + QStringLiteral("=0\n");
        f.write(text.toLatin1());
        f.close();
        QFile::remove(control::Transfer::Simulated_LogPath());
    }
    QByteArray simulatedLog() const {
        QFile log(control::Transfer::Simulated_LogPath());
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    SystemDialog* dlg = nullptr;
};

bool sameRecord(const SystemParameter& a, const SystemParameter& b) {
    return toLibraryForm(a) == toLibraryForm(b);
}

} // namespace

TEST_F(SystemDialogTest, OpensOverTheDisabledMainWindowAndEachWayOutGivesItBack) {
    enum class Leave { Ok, Cancel, Escape, CloseBox };
    for (Leave leave : {Leave::Ok, Leave::Cancel, Leave::Escape, Leave::CloseBox}) {
        ASSERT_NE(open(), nullptr);
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_TRUE(dlg->isEnabled());
        EXPECT_FALSE(window->isEnabled());
        EXPECT_EQ(program->ActiveTool, ToolSystem);
        EXPECT_TRUE(dlg->timSetFocus->isActive());
        switch (leave) {
        case Leave::Ok:
            click(QStringLiteral("Btn_OK"));
            break;
        case Leave::Cancel:
            click(QStringLiteral("Btn_Cancel"));
            break;
        case Leave::Escape:
            QTest::keyClick(dlg, Qt::Key_Escape);
            break;
        case Leave::CloseBox:
            dlg->close();
            break;
        }
        EXPECT_FALSE(dlg->isVisible());
        EXPECT_TRUE(window->isEnabled());
        EXPECT_EQ(program->ActiveTool, ToolNone);
        EXPECT_FALSE(dlg->timSetFocus->isActive());
    }
    // One dialog for the whole run.
    EXPECT_EQ(window->findChildren<SystemDialog*>().size(), 1);
}

TEST_F(SystemDialogTest, CaptionsInBothLanguagesWithEveryMnemonicLabelBoundToItsField) {
    struct Case {
        const char* control;
        const char* english;
        const char* japanese;
    };
    const Case cases[] = {
        {"Label_System", "&Model", "機種(&M)"},
        {"Label_GPIB", "&GPIB Address", "GPIBｱﾄﾞﾚｽ(&G)"},
        {"Label_MNumber", "Memory Num&ber", "波形ﾒﾓﾘ番号(&B)"},
        {"Label_Offs_Btn", "DC Off&set ON/OFF", "DCｵﾌｾｯﾄ ON/OFF(&S)"},
        {"Btn_Trans(1)", "&Waveform Data", "波形ﾃﾞｰﾀ (&W)"},
        {"Label_To(1)", "to", "～"},
        {"Frm_Memory", "[Wave Memory Setup]", "[波形ﾒﾓﾘ設定]"},
        {"Btn_Cancel", "Cancel", "ｷｬﾝｾﾙ"},
        {"Btn_Help", "Help", "ﾍﾙﾌﾟ"},
    };
    for (bool english : {true, false}) {
        // A fresh program so the dialog is built in the language under test.
        if (!english)
            startProgram();
        LanguageGuard language(english);
        ASSERT_NE(open(), nullptr);
        EXPECT_TRUE(applyCaptions(dlg, SystemDialogCaptions()).isEmpty());
        for (const Case& c : cases) {
            QWidget* w = get<QWidget>(QString::fromUtf8(c.control));
            ASSERT_NE(w, nullptr);
            QString text;
            if (auto* l = qobject_cast<QLabel*>(w))
                text = l->text();
            else if (auto* b = qobject_cast<QAbstractButton*>(w))
                text = b->text();
            else if (auto* g = qobject_cast<QGroupBox*>(w))
                text = g->title();
            EXPECT_EQ(text, QString::fromUtf8(english ? c.english : c.japanese)) << c.control;
        }
        const auto* tabs = get<QTabWidget>(QStringLiteral("SSTab"));
        EXPECT_EQ(tabs->tabText(1),
                  english ? QStringLiteral("&Unit Setup") : QString::fromUtf8("単位設定(&U)"));
        EXPECT_EQ(dlg->windowTitle(), english ? QStringLiteral("VELDA - System Setup")
                                              : QString::fromUtf8("VELDA - ｼｽﾃﾑ設定"));
        EXPECT_EQ(dlg->Menu_File->title(), english ? QStringLiteral("System Setup &File")
                                                   : QString::fromUtf8("ｼｽﾃﾑ設定ﾌｧｲﾙ(&F)"));
        EXPECT_EQ(combo(QStringLiteral("Comb_Unit(1)"))->itemText(1),
                  english ? QStringLiteral("Voltage") : QString::fromUtf8("電圧"));
        for (const QLabel* l : dlg->findChildren<QLabel*>()) {
            if (l->text().contains(QLatin1Char('&'))) {
                EXPECT_NE(l->buddy(), nullptr) << l->objectName().toStdString();
            }
        }
        click(QStringLiteral("Btn_Cancel"));
    }
}

TEST_F(SystemDialogTest, ModelKindDecidesCaptionsOutputOptionsAndOffsetSwitch) {
    struct Case {
        int model;
        const char* frame;
        const char* channel;
        const char* unit;
        bool output;
        bool offsetSwitch;
    };
    const Case cases[] = {
        {Awg1101, "[Oscillator Setup]", "&Channel", "Vp-p", true, true},
        {Awg2201, "[Oscillator Setup]", "&Channel", "Vp-p", true, false},
        {PowerSource, "[Power Setup]", "&Mode", "V", false, false},
    };
    ASSERT_NE(open(), nullptr);
    for (const Case& c : cases) {
        choose(QStringLiteral("Comb_System"), c.model);
        ASSERT_EQ(param().ModelNo, c.model);
        EXPECT_EQ(get<QGroupBox>(QStringLiteral("Frm_Oscil"))->title(), QLatin1String(c.frame));
        EXPECT_EQ(get<QLabel>(QStringLiteral("Label_Channel"))->text(), QLatin1String(c.channel));
        EXPECT_EQ(get<QLabel>(QStringLiteral("Label_Ampl_Unit"))->text(), QLatin1String(c.unit));
        EXPECT_EQ(get<QRadioButton>(QStringLiteral("Opt_Output(2)"))->isVisible(), c.output)
            << c.model;
        EXPECT_EQ(get<QWidget>(QStringLiteral("Panel_Offs"))->isVisible(), c.offsetSwitch)
            << c.model;
    }
}

TEST_F(SystemDialogTest, EnableRulesFollowTheModelFlags) {
    struct Case {
        int model;
        bool memoryNumber;
        bool memoryName;
        bool channel;
        bool range;
    };
    const Case cases[] = {
        {Awg1101, true, false, false, true}, // one channel, three ranges
        {Awg1102, false, true, true, true},  // two channels, memory names
        {PowerSource, true, false, true, true},
    };
    ASSERT_NE(open(), nullptr);
    for (const Case& c : cases) {
        choose(QStringLiteral("Comb_System"), c.model);
        EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(1)"))->isEnabled(), c.memoryNumber) << c.model;
        EXPECT_EQ(get<QWidget>(QStringLiteral("UD_GPIB(1)"))->isEnabled(), c.memoryNumber);
        EXPECT_EQ(get<QLabel>(QStringLiteral("Label_MNumber"))->isEnabled(), c.memoryNumber);
        EXPECT_EQ(edit(QStringLiteral("Txt_MName"))->isEnabled(), c.memoryName) << c.model;
        EXPECT_EQ(combo(QStringLiteral("Comb_Channel"))->isEnabled(), c.channel) << c.model;
        EXPECT_EQ(combo(QStringLiteral("Comb_Range"))->isEnabled(), c.range) << c.model;
    }
    // Only the shown tab's frames are usable.
    get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(1);
    EXPECT_FALSE(get<QGroupBox>(QStringLiteral("Frm_Basic"))->isEnabled());
    EXPECT_FALSE(get<QGroupBox>(QStringLiteral("Frm_Oscil"))->isEnabled());
    EXPECT_TRUE(get<QGroupBox>(QStringLiteral("Frm_XUnit"))->isEnabled());
    get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(0);
    EXPECT_TRUE(get<QGroupBox>(QStringLiteral("Frm_Memory"))->isEnabled());
    EXPECT_FALSE(get<QGroupBox>(QStringLiteral("Frm_YUnit"))->isEnabled());
    // The set-up file items, the print-out and the transfer work.
    EXPECT_TRUE(dlg->Menu_FileOpen->isEnabled());
    EXPECT_TRUE(dlg->Menu_FilePrint->isEnabled());
    EXPECT_TRUE(get<QPushButton>(QStringLiteral("Btn_Trans(0)"))->isEnabled());
}

TEST_F(SystemDialogTest, SetupFileMenuSavesAndOpensTheRecord) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), 3);
    const SystemParameter saved = param();
    const QString path = dir.filePath(QStringLiteral("bench.ocb"));
    prompts.fileNames = {path};
    dlg->Menu_FileSave->trigger();
    ASSERT_TRUE(QFile::exists(path)) << prompts.boxTexts().join(QLatin1Char('|')).toStdString();
    EXPECT_EQ(program->Document.SetupFileName, path);

    choose(QStringLiteral("Comb_System"), 1);
    ASSERT_NE(param().ModelNo, saved.ModelNo);
    prompts.fileNames = {path};
    dlg->Menu_FileOpen->trigger();
    EXPECT_EQ(param().ModelNo, saved.ModelNo);
    EXPECT_EQ(param().MemorySize, saved.MemorySize);
    // The dialog shows the record it read.
    EXPECT_EQ(combo(QStringLiteral("Comb_System"))->currentIndex(), saved.ModelNo);
    EXPECT_EQ(program->Document.N(), saved.MemorySize);

    // A file that is not a set-up file changes nothing.
    QFile junk(dir.filePath(QStringLiteral("junk.ocb")));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a set-up file");
    junk.close();
    prompts.clear();
    prompts.fileNames = {junk.fileName()};
    dlg->Menu_FileOpen->trigger();
    EXPECT_EQ(param().ModelNo, saved.ModelNo);
    ASSERT_FALSE(prompts.boxes.empty());
    EXPECT_TRUE(prompts.boxes.back().text.endsWith(QStringLiteral("File Read error.\r")))
        << prompts.boxes.back().text.toStdString();
}

// A record read whole from a file brings its model's lists and captions, not
// only its list positions, whichever window read it.
TEST_F(SystemDialogTest, RecordReadFromAFileShowsItsModelsListsAndCaptions) {
    auto items = [](QComboBox* c) {
        QStringList l;
        for (int i = 0; i < c->count(); ++i)
            l << c->itemText(i);
        return l;
    };
    auto trimmed = [](QStringList l) {
        for (QString& t : l)
            t = t.trimmed();
        return l;
    };
    for (const bool wave : {false, true}) {
        SCOPED_TRACE(wave ? "wave file opened in the main window" : "set-up file opened here");
        ASSERT_NE(open(), nullptr);
        choose(QStringLiteral("Comb_System"), PowerSource);
        const QString path =
            dir.filePath(wave ? QStringLiteral("ps.wdb") : QStringLiteral("ps.ocb"));
        // A file command of the main window (the dialog closed meanwhile) or
        // of the dialog's own menu.
        const auto file = [&](QAction* inWindow, QAction* inDialog) {
            prompts.fileNames = {path};
            if (wave) {
                click(QStringLiteral("Btn_OK"));
                inWindow->trigger();
                open();
            } else {
                inDialog->trigger();
            }
        };
        file(window->Menu_FileSaveAs, dlg->Menu_FileSave);
        ASSERT_TRUE(QFile::exists(path));
        choose(QStringLiteral("Comb_System"), Awg2201);
        file(window->Menu_FileOpen, dlg->Menu_FileOpen);
        ASSERT_EQ(param().ModelNo, PowerSource);
        const SystemSetup& s = program->Setup;
        EXPECT_EQ(items(combo(QStringLiteral("Comb_MSize"))), trimmed(s.MemorySizeNames));
        EXPECT_EQ(items(combo(QStringLiteral("Comb_Channel"))), trimmed(s.ChannelNames));
        EXPECT_EQ(items(combo(QStringLiteral("Comb_Range"))), trimmed(s.RangeNames));
        EXPECT_EQ(get<QGroupBox>(QStringLiteral("Frm_Oscil"))->title(),
                  SystemModelKindCaptions(true, English()).frame);
        EXPECT_FALSE(get<QWidget>(QStringLiteral("Panel_Output"))->isVisibleTo(dlg));
        click(QStringLiteral("Btn_Cancel"));
    }
}

TEST_F(SystemDialogTest, ModelWithFewerChannelsSelectsItsLastChannel) {
    ASSERT_NE(open(), nullptr);
    QComboBox* channel = combo(QStringLiteral("Comb_Channel"));
    ASSERT_EQ(channel->count(), 4);
    // The user's way: the list has the focus and the arrow key moves on.
    channel->setFocus();
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(channel, Qt::Key_Down);
    ASSERT_EQ(param().ChannelNo, 3);
    choose(QStringLiteral("Comb_System"), Awg1101);
    EXPECT_EQ(param().ChannelNo, 0);
    EXPECT_EQ(channel->count(), 1);
    EXPECT_EQ(channel->currentIndex(), 0);
    EXPECT_EQ(combo(QStringLiteral("Comb_Range"))->count(), 3);
    EXPECT_EQ(combo(QStringLiteral("Comb_MSize"))->count(), 3);
    EXPECT_EQ(combo(QStringLiteral("Comb_MSize"))->currentIndex(), param().MemorySizeNo);
    // Two-channel model: the second channel brings its own frequency limit.
    choose(QStringLiteral("Comb_System"), Awg1102);
    choose(QStringLiteral("Comb_Channel"), 1);
    EXPECT_EQ(param().ChannelNo, 1);
    EXPECT_EQ(param().FrequencyMax, 1e6);
    EXPECT_EQ(combo(QStringLiteral("Comb_Range"))->count(), 2);
}

TEST_F(SystemDialogTest, InterfaceListFollowsTheModelsMask) {
    struct Case {
        int model;
        QStringList items;
    };
    const Case cases[] = {
        {Awg1101, {"USB(TMC)", "Simulated"}},
        {Awg2201, {"NI GPIB", "KI GPIB", "Simulated"}},
        {Awg2202, {"NI GPIB", "Simulated"}},
        {Fg4101, {"USB(TMC)", "NI GPIB", "KI GPIB", "Simulated"}},
        {PowerSource, {"USB(TMC)", "NI GPIB", "Simulated"}},
    };
    ASSERT_NE(open(), nullptr);
    QComboBox* list = combo(QStringLiteral("Comb_Intfc"));
    for (const Case& c : cases) {
        choose(QStringLiteral("Comb_System"), c.model);
        QStringList items;
        for (int i = 0; i < list->count(); ++i)
            items << list->itemText(i);
        EXPECT_EQ(items, c.items) << c.model;
        // The entry shown is the interface in use.
        EXPECT_EQ(list->currentData().toInt(), program->Setup.InterfaceKind) << c.model;
    }
}

TEST_F(SystemDialogTest, UsbShowsTheSerialNumberAndABusShowsTheAddress) {
    ASSERT_NE(open(), nullptr);
    ASSERT_EQ(program->Setup.InterfaceKind, IfUsbTmc); // the default
    auto shown = [this](const char* name) {
        return get<QWidget>(QLatin1String(name))->isVisible();
    };
    EXPECT_TRUE(shown("txtSerialNo"));
    EXPECT_TRUE(shown("Label_USB"));
    EXPECT_FALSE(shown("Txt_GPIB(0)"));
    EXPECT_FALSE(shown("UD_GPIB(0)"));
    EXPECT_FALSE(shown("Label_GPIB"));

    selectInterface(QStringLiteral("NI GPIB"));
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    EXPECT_FALSE(shown("txtSerialNo"));
    EXPECT_FALSE(shown("Label_USB"));
    EXPECT_TRUE(shown("Txt_GPIB(0)"));
    EXPECT_TRUE(shown("UD_GPIB(0)"));
    EXPECT_TRUE(shown("Label_GPIB"));

    // A model reached only over USB(TMC) takes that interface with it.
    choose(QStringLiteral("Comb_System"), Awg1101);
    EXPECT_EQ(program->Setup.InterfaceKind, IfUsbTmc);
    EXPECT_TRUE(shown("txtSerialNo"));
}

TEST_F(SystemDialogTest, InterfaceChangeMovesTheAddressOffTheController) {
    ASSERT_NE(open(), nullptr);
    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("4"));
    ASSERT_EQ(param().GpibAddress, 4);
    program->ControllerAddress = [] { return 4; };
    selectInterface(QStringLiteral("NI GPIB"));
    EXPECT_NE(param().GpibAddress, 4);
    EXPECT_EQ(param().GpibAddress, 1); // the model's initial address
    EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(0)"))->text(), QStringLiteral("1"));
}

TEST_F(SystemDialogTest, OkStoresTheInterfaceAndCancelReadsItBack) {
    ASSERT_NE(open(), nullptr);
    selectInterface(QStringLiteral("NI GPIB"));
    click(QStringLiteral("Btn_Cancel"));
    EXPECT_EQ(program->Setup.InterfaceKind, IfUsbTmc);
    EXPECT_EQ(program->Registry->GpibBoard(), IfUsbTmc);

    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(combo(QStringLiteral("Comb_Intfc"))->currentText(), QStringLiteral("USB(TMC)"));
    selectInterface(QStringLiteral("NI GPIB"));
    click(QStringLiteral("Btn_OK"));
    EXPECT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    EXPECT_EQ(program->Registry->GpibBoard(), IfNiGpib);
    EXPECT_EQ(QSettings(iniPath(), QSettings::IniFormat).value("System/GpibBoard").toString(),
              QStringLiteral("0"));
}

TEST_F(SystemDialogTest, CancelAfterManyEditsRestoresTheRecordListsAndControls) {
    ASSERT_NE(open(), nullptr);
    const SystemParameter before = param();
    const QString frequencyText = edit(QStringLiteral("Txt_Oscil(0)"))->text();

    choose(QStringLiteral("Comb_System"), Awg1102);
    choose(QStringLiteral("Comb_Channel"), 1);
    choose(QStringLiteral("Comb_Range"), 1);
    type(QStringLiteral("Txt_Oscil(2)"), QStringLiteral("200m"));
    ASSERT_DOUBLE_EQ(param().Amplitude, 0.2);
    type(QStringLiteral("Txt_Oscil(0)"), QStringLiteral("2k"));
    ASSERT_DOUBLE_EQ(param().Frequency, 2000);
    choose(QStringLiteral("Comb_MSize"), 0);
    ASSERT_EQ(param().MemorySize, 1024);
    type(QStringLiteral("Txt_MName"), QStringLiteral("MINE"));
    click(QStringLiteral("Opt_Output(1)"));
    click(QStringLiteral("Opt_Offs(0)"));
    get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(1);
    choose(QStringLiteral("Comb_Unit(0)"), 2);
    type(QStringLiteral("Txt_Unit(1)"), QStringLiteral("50"));
    type(QStringLiteral("Txt_Unit_Name(0)"), QStringLiteral("mm"));
    ASSERT_FALSE(sameRecord(param(), before));

    click(QStringLiteral("Btn_Cancel"));
    EXPECT_TRUE(sameRecord(param(), before));
    EXPECT_EQ(param().ModelNo, PowerSource);
    EXPECT_EQ(program->Document.N(), before.MemorySize);
    EXPECT_EQ(program->Setup.ChannelNames.size(), 4);
    EXPECT_EQ(program->Setup.InterfaceMask, 0x9);
    // The lists and fields show the restored record when the dialog opens again.
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(combo(QStringLiteral("Comb_System"))->currentIndex(), PowerSource);
    EXPECT_EQ(combo(QStringLiteral("Comb_Channel"))->count(), 4);
    EXPECT_EQ(combo(QStringLiteral("Comb_MSize"))->count(), 1);
    EXPECT_EQ(edit(QStringLiteral("Txt_Oscil(0)"))->text(), frequencyText);
    EXPECT_EQ(get<QGroupBox>(QStringLiteral("Frm_Oscil"))->title(),
              QStringLiteral("[Power Setup]"));
    EXPECT_TRUE(get<QRadioButton>(QStringLiteral("Opt_Output(0)"))->isChecked());
}

// A window manager's close box still reaches the disabled main window: it
// must neither ask the exit question nor store the unconfirmed model.
TEST_F(SystemDialogTest, TheMainWindowsCloseBoxWaitsWhileTheDialogIsOpen) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg2201);
    prompts.answers.push_back(Answer::Yes);
    QCloseEvent close;
    QApplication::sendEvent(window.get(), &close);
    EXPECT_FALSE(close.isAccepted());
    EXPECT_FALSE(window->unloaded());
    EXPECT_TRUE(prompts.boxes.empty());
    EXPECT_TRUE(dlg->isVisible());
    click(QStringLiteral("Btn_Cancel"));
    EXPECT_EQ(param().ModelNo, PowerSource);
    EXPECT_FALSE(QSettings(iniPath(), QSettings::IniFormat).contains("Sysinfo/sys_no"));
}

TEST_F(SystemDialogTest, CancelGivesBackTheWaveformAShorterMemoryHid) {
    // A set-up file of 1024 points: opening it shrinks the memory too.
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1102);
    choose(QStringLiteral("Comb_MSize"), 0);
    const QString small = dir.filePath(QStringLiteral("small.ocb"));
    prompts.fileNames = {small};
    dlg->Menu_FileSave->trigger();
    ASSERT_TRUE(QFile::exists(small));
    choose(QStringLiteral("Comb_MSize"), 3);
    click(QStringLiteral("Btn_OK"));
    WaveDocument& doc = program->Document;
    ASSERT_EQ(doc.N(), 65536);
    for (const bool byFile : {false, true}) {
        SCOPED_TRACE(byFile ? "by a set-up file" : "by the memory size list");
        engine::bufferWords(doc.CurrentBuf())[40000] = 1234;
        doc.CurArea() = {100.0, 50000.0};

        ASSERT_NE(open(), nullptr);
        if (byFile) {
            prompts.fileNames = {small};
            dlg->Menu_FileOpen->trigger();
        } else {
            choose(QStringLiteral("Comb_MSize"), 0);
        }
        ASSERT_EQ(doc.N(), 1024);
        EXPECT_EQ(program->View.ViewXEnd, 1024);
        EXPECT_LE(doc.CurArea().EndX, 1024.0);
        // Growing again within the same opening clears what lies beyond 1024.
        choose(QStringLiteral("Comb_MSize"), 2);
        ASSERT_EQ(doc.N(), 16384);
        click(QStringLiteral("Btn_Cancel"));

        EXPECT_EQ(doc.N(), 65536);
        EXPECT_EQ(engine::bufferWords(doc.CurrentBuf())[40000], 1234);
        EXPECT_EQ(doc.CurArea().StartX, 100.0);
        EXPECT_EQ(doc.CurArea().EndX, 50000.0);
        EXPECT_EQ(program->View.ViewXEnd, 65536);
    }
}

TEST_F(SystemDialogTest, OkKeepsTheNewSizeResetsUndoAndTheMainView) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1102);
    choose(QStringLiteral("Comb_MSize"), 1);
    program->Document.Save_Undo();
    ASSERT_TRUE(window->Menu_Undo->isEnabled());
    get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(1);
    choose(QStringLiteral("Comb_Unit(0)"), 1);
    click(QStringLiteral("Btn_OK"));
    const WaveDocument& doc = program->Document;
    EXPECT_EQ(doc.N(), 4096);
    EXPECT_EQ(program->View.ViewXEnd, 4096);
    EXPECT_FALSE(window->Menu_Undo->isEnabled());
    // The read-outs are in the new unit (seconds), not in points any more.
    const UnitContext& u = program->Units;
    ASSERT_EQ(u.X_Unit_Name(), QStringLiteral("sec"));
    EXPECT_EQ(window->Txt_End_X->text(), u.Point_To_XText(doc.CurArea().EndX));
    EXPECT_EQ(window->Label_End[0]->text(), u.Point_To_XText(4096) + u.X_Unit_Name());
    EXPECT_EQ(window->Label_Start[1]->text(), u.Point_To_XText(0) + u.X_Unit_Name());
}

TEST_F(SystemDialogTest, FrequencyWarningNoKeepsTheOldValueYesTakesTheNew) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1101); // 1024 points, 100 MS/s at most
    const double before = param().Frequency;
    const QString beforeText = edit(QStringLiteral("Txt_Oscil(0)"))->text();
    const QString periodText = edit(QStringLiteral("Txt_Oscil(1)"))->text();

    prompts.answers.push_back(Answer::No);
    type(QStringLiteral("Txt_Oscil(0)"), QStringLiteral("100k"));
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Warning Message"));
    EXPECT_EQ(prompts.boxes[0].buttons, BoxButtons::YesNo);
    EXPECT_EQ(param().Frequency, before);
    EXPECT_EQ(edit(QStringLiteral("Txt_Oscil(0)"))->text(), beforeText);
    EXPECT_EQ(edit(QStringLiteral("Txt_Oscil(1)"))->text(), periodText);

    prompts.answers.push_back(Answer::Yes);
    type(QStringLiteral("Txt_Oscil(0)"), QStringLiteral("100k"), Qt::Key_Tab);
    EXPECT_EQ(param().Frequency, 100e3);
    EXPECT_DOUBLE_EQ(param().Period, 1e-5);
    EXPECT_EQ(Eng_Val(edit(QStringLiteral("Txt_Oscil(1)"))->text()), 1e-5);
    // The value now shown is not asked about again.
    prompts.clear();
    type(QStringLiteral("Txt_Oscil(0)"), QStringLiteral("100k"));
    EXPECT_TRUE(prompts.boxes.empty());
}

TEST_F(SystemDialogTest, OutOfRangeSetupValuesShowTheRecordAgainWithoutABox) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1101); // 1 mHz .. 1 MHz, 10 Vp-p range
    struct Case {
        const char* field;
        const char* typed;
    };
    const Case cases[] = {
        {"Txt_Oscil(0)", "0"},  {"Txt_Oscil(0)", ""},   {"Txt_Oscil(0)", "2M"},
        {"Txt_Oscil(1)", "2k"}, {"Txt_Oscil(2)", "11"}, {"Txt_Oscil(3)", "-6"},
    };
    for (const Case& c : cases) {
        const SystemParameter before = param();
        const QString shown = edit(QLatin1String(c.field))->text();
        type(QLatin1String(c.field), QLatin1String(c.typed));
        EXPECT_TRUE(sameRecord(param(), before)) << c.field << " " << c.typed;
        EXPECT_EQ(edit(QLatin1String(c.field))->text(), shown) << c.field << " " << c.typed;
    }
    EXPECT_TRUE(prompts.boxes.empty());
    // Within the limits the value is taken.
    type(QStringLiteral("Txt_Oscil(3)"), QStringLiteral("-1.5"));
    EXPECT_EQ(param().Offset, -1.5);
}

TEST_F(SystemDialogTest, FieldsRefuseTheKeysTheyDoNotTake) {
    struct Case {
        int model; // one whose flags make the field usable
        const char* interface;
        const char* field;
        const char* typed;
        const char* shown;
    };
    const Case cases[] = {
        {PowerSource, "NI GPIB", "Txt_GPIB(0)", "1a2 -b", "12"},
        {PowerSource, "NI GPIB", "Txt_GPIB(1)", "x3.", "3"},
        {PowerSource, "USB(TMC)", "txtSerialNo", "AB 12 c", "AB12c"},
        {PowerSource, "USB(TMC)", "Txt_Oscil(0)", "1 k", "1k"},
        {PowerSource, "USB(TMC)", "Txt_Oscil(2)", " 2 ", "2"},
        {Awg1102, "USB(TMC)", "Txt_MName", "A B", "A B"},
        // 16 bytes of 8-bit text: a character that would not fit is refused.
        {Awg1102, "USB(TMC)", "Txt_MName", "波形メモリ名前AB", "波形メモリA"},
    };
    ASSERT_NE(open(), nullptr);
    for (const Case& c : cases) {
        choose(QStringLiteral("Comb_System"), c.model);
        selectInterface(QLatin1String(c.interface));
        QLineEdit* e = edit(QLatin1String(c.field));
        e->setFocus();
        e->selectAll();
        for (const QChar ch : QString::fromUtf8(c.typed)) {
            if (ch.unicode() < 0x80) {
                QTest::keyClick(e, ch.toLatin1());
                continue;
            }
            // No key code for these: the key event carries only the text.
            QKeyEvent key(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(ch));
            QApplication::sendEvent(e, &key);
        }
        EXPECT_EQ(e->text(), QString::fromUtf8(c.shown)) << c.field;
        // Backspace still edits.
        QTest::keyClick(e, Qt::Key_Backspace);
        EXPECT_EQ(e->text(), QString::fromUtf8(c.shown).chopped(1)) << c.field;
    }
    // Enter applies the field and leaves the dialog open.
    type(QStringLiteral("Txt_MName"), QStringLiteral("  WAVE 2 "));
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(param().MemoryName, QStringLiteral("WAVE 2          "));
}

TEST_F(SystemDialogTest, ControllerAddressTypedIsRefusedWithMessage228) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg2201); // addresses 0..30, NI GPIB
    ASSERT_EQ(program->Setup.InterfaceKind, IfNiGpib);
    const int16_t address = param().GpibAddress;
    ASSERT_NE(address, 0);

    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("0"), Qt::Key_Tab);
    ASSERT_EQ(prompts.boxes.size(), 1u);
    EXPECT_EQ(prompts.boxes[0].title, QStringLiteral("Error Message"));
    EXPECT_EQ(prompts.boxes[0].text, GetMessage(228) + QStringLiteral("   Address: 0"));
    EXPECT_EQ(param().GpibAddress, address);
    EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(0)"))->text(), QString::number(address));

    // Another controller address, and the values outside the limits.
    prompts.clear();
    program->ControllerAddress = [] { return 9; };
    struct Case {
        const char* typed;
        int expected;
        size_t boxes;
    };
    const Case cases[] = {
        {"9", address, 1}, {"31", address, 0}, {"", 0, 0}, {"99999999999", 0, 0}, {"012", 12, 0},
    };
    for (const Case& c : cases) {
        prompts.clear();
        type(QStringLiteral("Txt_GPIB(0)"), QLatin1String(c.typed));
        EXPECT_EQ(param().GpibAddress, c.expected) << c.typed;
        EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(0)"))->text(), QString::number(c.expected));
        EXPECT_EQ(prompts.boxes.size(), c.boxes) << c.typed;
    }
}

TEST_F(SystemDialogTest, UpDownStepsWithinTheLimitsAndOverTheController) {
    ASSERT_NE(open(), nullptr);
    selectInterface(QStringLiteral("NI GPIB")); // power source: addresses 1..30, numbers 1..16
    program->ControllerAddress = [] { return 6; };
    auto* address = get<UpDownWidget>(QStringLiteral("UD_GPIB(0)"));
    auto* number = get<UpDownWidget>(QStringLiteral("UD_GPIB(1)"));
    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("5"));
    address->stepUp();
    EXPECT_EQ(param().GpibAddress, 7);
    EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(0)"))->text(), QStringLiteral("7"));
    address->stepDown();
    EXPECT_EQ(param().GpibAddress, 5);
    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("30"));
    address->stepUp();
    EXPECT_EQ(param().GpibAddress, 30);
    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("1"));
    address->stepDown();
    EXPECT_EQ(param().GpibAddress, 1);

    type(QStringLiteral("Txt_GPIB(1)"), QStringLiteral("16"));
    ASSERT_EQ(param().MemoryNo, 16);
    number->stepUp();
    EXPECT_EQ(param().MemoryNo, 16);
    number->stepDown();
    EXPECT_EQ(param().MemoryNo, 15);
    EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(1)"))->text(), QStringLiteral("15"));
    type(QStringLiteral("Txt_GPIB(1)"), QStringLiteral("17"));
    EXPECT_EQ(param().MemoryNo, 15);
    EXPECT_EQ(edit(QStringLiteral("Txt_GPIB(1)"))->text(), QStringLiteral("15"));
}

TEST_F(SystemDialogTest, UserUnitStartMustStayBelowItsEnd) {
    ASSERT_NE(open(), nullptr);
    get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(1);
    EXPECT_FALSE(edit(QStringLiteral("Txt_Unit(0)"))->isEnabled());
    EXPECT_FALSE(edit(QStringLiteral("Txt_Unit_Name(1)"))->isEnabled());
    choose(QStringLiteral("Comb_Unit(0)"), 2);
    choose(QStringLiteral("Comb_Unit(1)"), 2);
    EXPECT_EQ(param().XUnitMode, 2);
    EXPECT_TRUE(edit(QStringLiteral("Txt_Unit(0)"))->isEnabled());
    EXPECT_TRUE(edit(QStringLiteral("Txt_Unit_Name(1)"))->isEnabled());

    struct Case {
        const char* field;
        const char* typed;
        double xStart, xEnd, yMin, yMax;
    };
    const Case cases[] = {
        {"Txt_Unit(0)", "1", 0, 1, -1, 1},      // start equal to the end
        {"Txt_Unit(0)", "5", 0, 1, -1, 1},      // start beyond the end
        {"Txt_Unit(1)", "-2", 0, 1, -1, 1},     // end below the start
        {"Txt_Unit(0)", "500m", 0.5, 1, -1, 1}, // taken
        {"Txt_Unit(3)", "-1", 0.5, 1, -1, 1},   // maximum equal to the minimum
        {"Txt_Unit(2)", "-3", 0.5, 1, -3, 1},   {"Txt_Unit(3)", "2k", 0.5, 1, -3, 2000},
    };
    for (const Case& c : cases) {
        type(QLatin1String(c.field), QLatin1String(c.typed));
        const SystemParameter& p = param();
        EXPECT_EQ(p.UserXStart, c.xStart) << c.field << " " << c.typed;
        EXPECT_EQ(p.UserXEnd, c.xEnd) << c.field << " " << c.typed;
        EXPECT_EQ(p.UserYMin, c.yMin) << c.field << " " << c.typed;
        EXPECT_EQ(p.UserYMax, c.yMax) << c.field << " " << c.typed;
        // The fields always show the record.
        EXPECT_DOUBLE_EQ(Eng_Val(edit(QStringLiteral("Txt_Unit(0)"))->text()), p.UserXStart);
        EXPECT_DOUBLE_EQ(Eng_Val(edit(QStringLiteral("Txt_Unit(3)"))->text()), p.UserYMax);
    }
    type(QStringLiteral("Txt_Unit_Name(1)"), QStringLiteral("Pa"));
    EXPECT_EQ(param().UserYUnitName, QStringLiteral("Pa      "));
}

TEST_F(SystemDialogTest, SettingsSerialNumberAndPositionSurviveARestart) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1102);
    choose(QStringLiteral("Comb_MSize"), 3);
    selectInterface(QStringLiteral("NI GPIB"));
    type(QStringLiteral("Txt_GPIB(0)"), QStringLiteral("7"));
    selectInterface(QStringLiteral("USB(TMC)"));
    type(QStringLiteral("txtSerialNo"), QStringLiteral("SN 4711"));
    click(QStringLiteral("Btn_OK"));
    dlg->move(120, 90);
    const QPoint position = dlg->pos();
    exitProgram();

    QSettings store(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(store.value("Sysinfo/sys_no").toString(), QStringLiteral("2"));
    EXPECT_EQ(store.value("Sysinfo/Gpib_Address").toString(), QStringLiteral("7"));
    EXPECT_EQ(store.value("Sysinfo/memory_width_no").toString(), QStringLiteral("3"));
    EXPECT_EQ(store.value("System/SerialNum").toString(), QStringLiteral("SN4711"));

    startProgram();
    EXPECT_EQ(param().ModelNo, Awg1102);
    EXPECT_EQ(param().GpibAddress, 7);
    EXPECT_EQ(program->Document.N(), 65536);
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(edit(QStringLiteral("txtSerialNo"))->text(), QStringLiteral("SN4711"));
    EXPECT_TRUE(edit(QStringLiteral("txtSerialNo"))->isVisible());
    EXPECT_EQ(combo(QStringLiteral("Comb_System"))->currentIndex(), Awg1102);
    EXPECT_EQ(combo(QStringLiteral("Comb_MSize"))->currentIndex(), 3);
    EXPECT_NEAR(dlg->pos().x(), position.x(), 1);
    EXPECT_NEAR(dlg->pos().y(), position.y(), 1);

    // Cancel puts the saved serial number back.
    type(QStringLiteral("txtSerialNo"), QStringLiteral("OTHER"));
    click(QStringLiteral("Btn_Cancel"));
    EXPECT_EQ(program->SerialNumber, QStringLiteral("SN4711"));
    ASSERT_NE(open(), nullptr);
    EXPECT_EQ(edit(QStringLiteral("txtSerialNo"))->text(), QStringLiteral("SN4711"));
}

TEST_F(SystemDialogTest, SettingsAreWrittenAtExitEvenWhenTheDialogWasNeverOpened) {
    exitProgram();
    QSettings store(iniPath(), QSettings::IniFormat);
    EXPECT_EQ(store.value("Sysinfo/sys_no").toString(), QStringLiteral("0"));
    EXPECT_EQ(store.value("Sysinfo/Gpib_Address").toString(), QStringLiteral("1"));
    EXPECT_EQ(store.value("Sysinfo/memory_width_no").toString(), QStringLiteral("0"));
}

TEST_F(SystemDialogTest, FocusTimerTakesTheFocusBackFromTheMainWindowOnly) {
    ASSERT_NE(open(), nullptr);
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    ASSERT_EQ(QApplication::activeWindow(), window.get());
    dlg->timSetFocus_Timer();
    EXPECT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == dlg; }, 30000));

    // Another window of the program keeps the focus it was given.
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    dlg->timSetFocus_Timer();
    EXPECT_EQ(QApplication::activeWindow(), &other);
    other.hide();

    click(QStringLiteral("Btn_OK"));
    QApplication::setActiveWindow(window.get());
    dlg->timSetFocus_Timer();
    EXPECT_EQ(QApplication::activeWindow(), window.get());
}

TEST_F(SystemDialogTest, NothingIsClippedInEitherLanguageOrModelKind) {
    // With VELDA_GRAB_DIR set, each state is also saved as a picture to look at.
    const QString grabDir = qEnvironmentVariable("VELDA_GRAB_DIR");
    for (bool english : {true, false}) {
        if (!english)
            startProgram();
        LanguageGuard language(english);
        ASSERT_NE(open(), nullptr);
        for (int model : {PowerSource, Awg1102}) {
            choose(QStringLiteral("Comb_System"), model);
            for (int tab : {0, 1}) {
                get<QTabWidget>(QStringLiteral("SSTab"))->setCurrentIndex(tab);
                dlg->adjustSize();
                QApplication::processEvents();
                for (QWidget* w : dlg->findChildren<QWidget*>()) {
                    if (!w->isVisible() ||
                        !(qobject_cast<QLabel*>(w) || qobject_cast<QAbstractButton*>(w) ||
                          qobject_cast<QComboBox*>(w)))
                        continue;
                    EXPECT_GE(w->width(), w->minimumSizeHint().width())
                        << w->objectName().toStdString() << " english " << english;
                    EXPECT_GE(w->height(), w->minimumSizeHint().height())
                        << w->objectName().toStdString();
                }
                if (!grabDir.isEmpty())
                    dlg->grab().save(QStringLiteral("%1/sysdlg_%2_model%3_tab%4.png")
                                         .arg(grabDir, english ? "en" : "ja")
                                         .arg(model)
                                         .arg(tab));
            }
        }
        click(QStringLiteral("Btn_Cancel"));
    }
}

// The dialog's Help button and F1 open its own help page (help file 4) in
// the help window, as the other dialogs do.
TEST_F(SystemDialogTest, HelpButtonAndF1OpenTheSetupHelp) {
    enum class Way { Button, F1 };
    for (Way way : {Way::Button, Way::F1}) {
        SCOPED_TRACE(way == Way::Button ? "button" : "F1");
        ASSERT_NE(open(), nullptr);
        // The dialog's own activation, not its owner's: a dialog's window
        // counts as active while the main window it belongs to is, and a
        // key goes to the shortcuts of the window that really is active.
        ASSERT_TRUE(QTest::qWaitFor([this] { return QApplication::activeWindow() == dlg; }, 30000));
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow"))
                w->hide();
        if (way == Way::Button) {
            click(QStringLiteral("Btn_Help"));
        } else {
            // Pressed where the user's cursor can be: a field that takes input.
            QLineEdit* field = edit(QStringLiteral("Txt_Oscil(0)"));
            field->setFocus();
            ASSERT_TRUE(field->hasFocus());
            QTest::keyClick(field, Qt::Key_F1);
        }
        QWidget* help = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == QLatin1String("HelpWindow"))
                help = w;
        ASSERT_NE(help, nullptr) << "no help window";
        EXPECT_TRUE(help->isVisible());
        auto* browser = help->findChild<QTextBrowser*>();
        ASSERT_NE(browser, nullptr);
        EXPECT_EQ(browser->source().fileName(), HelpFiles::fileName(4, true));
        EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join(' ').toStdString();
        EXPECT_TRUE(dlg->isVisible()) << "the dialog stays open beside its help";
        click(QStringLiteral("Btn_Cancel"));
    }
}

// The dialog's transfer buttons run the real transfer on the simulated bus:
// the progress window comes and goes, the bus is free afterwards, and the
// bus saw the set-up lines and the whole data block.
TEST_F(SystemDialogTest, TransferButtonsSendOverTheSimulatedBusAndGiveTheBusBack) {
    ASSERT_NE(open(), nullptr);
    useSimulatedAwg1102();

    struct Case {
        int button;
        const char* mustSend; // a text the bus must have been given
    };
    for (const Case& c : {Case{1, "GP_Send_Binary_Data"}, Case{0, "GP_Send_Str"}}) {
        SCOPED_TRACE(c.button);
        prompts.clear();
        click(QStringLiteral("Btn_Trans(%1)").arg(c.button));
        EXPECT_FALSE(program->Registry->GpibBusy());
        EXPECT_FALSE(program->Registry->GpibHost());
        FrmGPIBExit* progress = dlg->Progress();
        ASSERT_NE(progress, nullptr);
        EXPECT_FALSE(progress->isVisible());
        for (const QString& t : prompts.boxTexts())
            EXPECT_FALSE(t.contains(QStringLiteral("Error"))) << t.toStdString();
        EXPECT_TRUE(simulatedLog().contains(c.mustSend));
    }
}

// Cancel in the progress window stops a LAN transfer while it waits for
// the instrument's answer: nothing more is sent, no failure is reported,
// and the bus is free again.
TEST_F(SystemDialogTest, CancelStopsALanTransferWaitingForAnAnswer) {
    ASSERT_NE(open(), nullptr);
    choose(QStringLiteral("Comb_System"), Awg1101);
    selectInterface(QStringLiteral("USB(TMC)"));
    test::Use_Own_Visa(*program->Bus);
    auto inst = test::TestInstrument::For_Model("AWG-1101");
    inst->Hold_Replies(true);
    edit(QStringLiteral("txtSerialNo"))->setText(QString::fromStdString(inst->Resource_Name()));
    bool pressed = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, dlg, [&] {
        FrmGPIBExit* progress = dlg->Progress();
        if (pressed || inst->Held() == 0 || !progress || !progress->isVisible())
            return;
        pressed = true;
        QTest::mouseClick(progress->CmdGpibExit, Qt::LeftButton);
    });
    poll.start(10);
    prompts.clear();
    click(QStringLiteral("Btn_Trans(1)"));
    poll.stop();
    inst->Hold_Replies(false);
    EXPECT_TRUE(pressed);
    EXPECT_TRUE(inst->Blocks().empty());
    EXPECT_TRUE(prompts.boxes.empty()) << prompts.boxTexts().join('|').toStdString();
    EXPECT_FALSE(dlg->Progress()->isVisible());
    EXPECT_FALSE(program->Registry->GpibBusy());
}

// The event loop runs during a transfer, so the dialog can be used
// meanwhile: another press is refused as busy before it touches anything,
// even after the user moved the interface to USB(TMC).
TEST_F(SystemDialogTest, APressDuringATransferIsRefusedAndLeavesItAlone) {
    ASSERT_NE(open(), nullptr);
    useSimulatedAwg1102();
    int16_t kindAfterPress = -1;
    QTimer::singleShot(0, dlg, [&] {
        selectInterface(QStringLiteral("USB(TMC)"));
        edit(QStringLiteral("txtSerialNo"))->setText(QStringLiteral("SN1"));
        click(QStringLiteral("Btn_Trans(0)"));
        kindAfterPress = program->Bus->Interface_Kind();
    });
    prompts.clear();
    click(QStringLiteral("Btn_Trans(1)"));
    EXPECT_EQ(kindAfterPress, IfSimulated);
    const QStringList boxes = prompts.boxTexts();
    ASSERT_FALSE(boxes.isEmpty());
    EXPECT_EQ(promptLines(boxes.front()), MessageText(223, true));
    for (const QString& t : boxes)
        EXPECT_FALSE(t.contains(QStringLiteral("Error"))) << t.toStdString();
    // The running transfer sent its block and put the bus back to local.
    const QByteArray log = simulatedLog();
    EXPECT_TRUE(log.contains("GP_Send_Binary_Data"));
    EXPECT_TRUE(log.trimmed().endsWith("ALL < GP_REN")) << log.right(200).toStdString();
    EXPECT_FALSE(program->Registry->GpibBusy());
}
