// The version line's date text, the version dialog and its library list.
#include "TestSupport.h"

#include "app/Messages.h"
#include "forms/VersionDialog.h"
#include "forms/VersionInfo.h"

#include <QLabel>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QWidget>
#include <gtest/gtest.h>

using namespace velda;

TEST(VersionDateText, MonthRules) {
    struct Row {
        int y, m, d;
        const char* text;
    };
    const Row rows[] = {
        {2006, 9, 5, "Sept.5,2006"},   {2007, 3, 1, "Mar.1,2007"},    {2005, 5, 12, "May 12,2005"},
        {2008, 6, 30, "June 30,2008"}, {2009, 7, 4, "July 4,2009"},   {2010, 1, 31, "Jan.31,2010"},
        {2011, 2, 28, "Feb.28,2011"},  {2012, 4, 9, "Apr.9,2012"},    {2013, 8, 15, "Aug.15,2013"},
        {2014, 10, 1, "Oct.1,2014"},   {2015, 11, 11, "Nov.11,2015"}, {2016, 12, 25, "Dec.25,2016"},
        {999, 3, 2, "Mar.2,0999"},
    };
    // English month names whatever the locale says.
    for (const QLocale& loc :
         {QLocale(QLocale::English), QLocale(QLocale::German), QLocale(QLocale::Japanese)}) {
        QLocale::setDefault(loc);
        for (const Row& r : rows)
            EXPECT_EQ(Version_Date_Text(QDate(r.y, r.m, r.d)), QLatin1String(r.text))
                << r.y << "-" << r.m << "-" << r.d << " " << qPrintable(loc.name());
    }
    QLocale::setDefault(QLocale::c());
    EXPECT_EQ(Version_Date_Text(QDate()), QString());
}

TEST(VersionLine, NumbersThenPointZeroAndTwoBlanks) {
    struct Row {
        int major, minor, rev;
        const char* text;
    };
    for (const Row r :
         {Row{1, 2, 0, "Ver.1.2.0.0  Sept.5,2006"}, Row{0, 0, 0, "Ver.0.0.0.0  Sept.5,2006"},
          Row{12, 3, 45, "Ver.12.3.45.0  Sept.5,2006"}})
        EXPECT_EQ(Version_Line(r.major, r.minor, r.rev, QDate(2006, 9, 5)), QLatin1String(r.text));
}

TEST(VersionDialog, CaptionsVersionLineLibrariesAndPlace) {
    test::RecordingPrompts prompts;
    QWidget main;
    main.setGeometry(100, 100, 900, 700);
    main.show();
    for (const bool english : {true, false}) {
        Set_Language(english);
        VersionDialog d(&main);
        EXPECT_EQ(d.windowTitle(), english ? QStringLiteral("Version Information")
                                           : QString::fromUtf8("ﾊﾞｰｼﾞｮﾝ情報"));
        EXPECT_EQ(d.Label[0]->text(), english ? QStringLiteral("VELDA ARBITRARY WAVEFORM EDITOR")
                                              : QString::fromUtf8("VELDA 任意波形作成ｿﾌﾄｳｴｱ"));
        const QString expected = Version_Line(Program_Version_Major(), Program_Version_Minor(),
                                              Program_Version_Revision(), Program_File_Date());
        EXPECT_EQ(d.Label[1]->text(), expected);
        EXPECT_TRUE(d.Label[1]->text().startsWith(QStringLiteral("Ver.%1.%2.%3.0  ")
                                                      .arg(Program_Version_Major())
                                                      .arg(Program_Version_Minor())
                                                      .arg(Program_Version_Revision())));
        const QString libs = d.Txt_Libraries->toPlainText();
        EXPECT_TRUE(libs.contains(QStringLiteral("Qt ") + QString::fromLatin1(qVersion())));
        for (const char* name : {"muParser ", "GSL ", "toml++ "})
            EXPECT_TRUE(libs.contains(QLatin1String(name))) << name;
        for (const QString& bus : Bus_Library_Names())
            EXPECT_TRUE(libs.contains(bus + QStringLiteral(": "))) << qPrintable(bus);
        // Centred over the main window.
        const QRect m = main.frameGeometry();
        EXPECT_EQ(d.x(), m.left() + m.width() / 2 - d.width() / 2);
        EXPECT_EQ(d.y(), m.top() + m.height() / 2 - d.height() / 2);
        main.setEnabled(false);
        d.show();
        d.Command1_Click();
        EXPECT_FALSE(d.isVisible());
        EXPECT_TRUE(main.isEnabled());
    }
    Set_Language(true);
}
