// The language-file mechanism of the international edition, driven on the
// real window in either edition: published properties set by name, language
// files with their edge cases, the detection of the system's language, the
// language menu, and the five language files that ship with the program.
#include <QtTest/QtTest>

#include <QFile>
#include <QLibraryInfo>
#include <QMenu>
#include <QMetaProperty>
#include <QRegularExpression>

#include <stdexcept>
#include <string>

#include "editor/UnitMP3Editor.h"
#include "platform/IniFile.h"
#include "tests/editor/WindowHarness.h"
#include "widgets/FormControls.h"
#include "widgets/FormServices.h"

namespace {

const char* const ShippedLanguages[] = {"English", "Spanish", "German", "Italian", "French"};

// The thirteen message texts, by key, in the order they are read.
std::vector<std::pair<const char*, QString>> Messages(const TFrmMP3Editor& W) {
    return {{"Ms_Opening", W.Ms_Opening},
            {"Ms_Waiting", W.Ms_Waiting},
            {"Ms_AppError", W.Ms_AppError},
            {"Ms_Error", W.Ms_Error},
            {"Ms_Pos", W.Ms_Pos},
            {"Ms_Unknow", W.Ms_Unknow},
            {"Ms_Mono", W.Ms_Mono},
            {"Ms_Stereo", W.Ms_Stereo},
            {"Ms_Info", W.Ms_Info},
            {"Ms_NotMP3", W.Ms_NotMP3},
            {"Ms_NotSaveName", W.Ms_NotSaveName},
            {"Ms_NotSave", W.Ms_NotSave},
            {"Ms_ClipErr", W.Ms_ClipErr}};
}

// The texts a user reads on the window: every published caption, hint and
// title that holds a letter (a time code is no text to translate).
std::vector<std::pair<QObject*, QString>> ReadableTexts(TFrmMP3Editor& W) {
    std::vector<std::pair<QObject*, QString>> Result;
    QList<QObject*> Components = W.findChildren<QObject*>();
    Components.prepend(&W);
    for (QObject* Component : Components) {
        if (Component != &W && Component->objectName().isEmpty()) continue;
        for (const char* Name : {"Caption", "Hint", "Title"}) {
            const int Index = PublishedPropertyIndex(Component, QLatin1String(Name));
            if (Index < 0) continue;
            const QString Value = Component->metaObject()->property(Index).read(Component).toString();
            if (Value.contains(QRegularExpression(QStringLiteral("\\p{L}")))) Result.emplace_back(Component, Name);
        }
    }
    return Result;
}

QString Key(QObject* Component, const QString& Property, const QObject* Window) {
    return Component == Window ? Property : Component->objectName() + QLatin1Char('.') + Property;
}

}  // namespace

class LanguageTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    QString LanguageFile(const char* Name) const {
        return DataFile(QStringLiteral("Languages/") + QLatin1String(Name) + QStringLiteral(".isl"));
    }

private slots:
    void initTestCase() { StartHarness(); }
    void init() { NewTest(); }
    void cleanup() { W.reset(); }

    void onlyOurPublishedPropertiesAreSetAndByTheirType() {
        // Strings, in any letter case; the window's own Caption is its title.
        SetPropertyText(W->Label13, "Caption", "Kodierung:");
        QCOMPARE(W->Label13->text(), QString("Kodierung:"));
        SetPropertyText(W->Label13, "caption", "Encoding:");
        QCOMPARE(W->Label13->text(), QString("Encoding:"));
        SetPropertyText(W.get(), "Caption", "Mein Segmora");
        QCOMPARE(W->windowTitle(), QString("Mein Segmora"));
        SetPropertyText(W->ImageStart, "Hint", "Ziehen");
        QCOMPARE(W->ImageStart->toolTip(), QString("Ziehen"));
        SetPropertyText(W->OpenDialog1, "Title", "MP3-Datei öffnen");
        QCOMPARE(W->OpenDialog1->Title, QString("MP3-Datei öffnen"));
        SetPropertyText(W->TabSheet2, "Caption", "Allgemein");
        QCOMPARE(W->RzPageControl1->tabText(0), QString("Allgemein"));
        SetPropertyText(W->PM_German, "Caption", "Deutsch");
        QCOMPARE(W->PM_German->text(), QString("Deutsch"));

        // Integers by their decimal text (or the toolkit's "$" hexadecimal); a text that is no number raises.
        SetPropertyText(W->Label13, "Left", "17");
        QCOMPARE(W->Label13->x(), 17);
        SetPropertyText(W->TimerPos, "Interval", "$FA");
        QCOMPARE(W->TimerPos->interval(), 250);
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SetPropertyText(W->Label13, "Top", "abc"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, SetPropertyText(W->Label13, "Top", ""));

        // A string list takes the two parts of the first "||", the later part first.
        SetPropertyText(W->RzComboBox1, "Items", "a||b||c");
        QCOMPARE(W->RzComboBox1->Items(), (QStringList{"b||c", "a"}));

        // Booleans and the toolkit's own properties are not set from text.
        SetPropertyText(W->Label13, "Visible", "False");
        QVERIFY(!W->Label13->isHidden());
        SetPropertyText(W->Label13, "Enabled", "0");
        QVERIFY(W->Label13->isEnabled());
        for (const char* Toolkits : {"objectName", "text", "toolTip", "geometry", "font", "styleSheet", "x"}) {
            SetPropertyText(W->Label13, Toolkits, "1");
            QCOMPARE(W->Label13->objectName(), QString("Label13"));
            QCOMPARE(W->Label13->text(), QString("Encoding:"));
            QVERIFY(W->Label13->toolTip().isEmpty());
            QVERIFY(W->Label13->styleSheet().isEmpty());
            QVERIFY2(PublishedPropertyIndex(W->Label13, Toolkits) < 0, Toolkits);
        }
        SetPropertyText(W.get(), "windowTitle", "Qt");
        QCOMPARE(W->windowTitle(), QString("Mein Segmora"));
        // Nothing to set on nothing, nor on a property no control has.
        SetPropertyText(nullptr, "Caption", "x");
        SetPropertyText(W->Label13, "NoSuchProperty", "x");
    }

    void textsAreCutAtTheirSeparatorsAndLineBreaksExpanded() {
        const struct {
            const char* Text;
            const char* Separator;
            QStringList Items;
        } Cases[] = {
            {"Label13.Caption=Encoding:", "=", {"Encoding:", "Label13.Caption"}},
            {"Label12.Caption=a=b", "=", {"a=b", "Label12.Caption"}},
            {"no separator", "=", {"no separator"}},
            {"=value", "=", {"value", ""}},
            {"key=", "=", {"", "key"}},
            {"one||two", "||", {"two", "one"}},
        };
        QStringList List{"left over"};
        for (const auto& Case : Cases) {
            SplitAtSeparator(Case.Text, Case.Separator, List);
            QCOMPARE(List, Case.Items);
        }
        QCOMPARE(ExpandLineBreaks("as:#13#10"), QString("as:\r\n"));
        QCOMPARE(ExpandLineBreaks("#13#10a#13#10#13#10"), QString("\r\na\r\n\r\n"));
        QCOMPARE(ExpandLineBreaks("#13#1 #13 #10"), QString("#13#1 #13 #10"));
    }

    void aLanguageFileIsAppliedLineByLineUntilALineFails() {
        const QString File = Write("Test.isl", "\xEF\xBB\xBF"  // a UTF-8 BOM
                                               "[FrmMP3Editor]\n"
                                               "Caption=Mein Fenster\n"
                                               "   Label13 . Caption   =   Kodierung:   \n"
                                               "Label12.Caption=a = b=c\n"
                                               "NoSuchLabel.Caption=x\n"
                                               "Label14.NoSuchProperty=x\n"
                                               "Label14.Font.Name=Courier\n"
                                               "Label14.objectName=renamed\n"
                                               "Label15.Visible=False\n"
                                               "; a comment\n"
                                               "Label15.Caption=Abtastrate:\n"
                                               "Label16.Left=abc\n"
                                               "Label17.Caption=never\n"
                                               "[Messages]\n"
                                               "Ms_NotSaveName=Anderer Name:#13#10\n"
                                               "Ms_NotSave=Nicht#13#10gespeichert\n"
                                               "Ms_Info=Hinweis\n"
                                               "Ms_PlayErr=Abspielen nicht möglich.\n");
        const QString Label14 = W->Label14->text();
        const QString Label17 = W->Label17->text();
        const int Label16Left = W->Label16->x();
        W->LoadMessages(File);
        W->ApplyLanguageFile(File);

        QCOMPARE(W->windowTitle(), QString("Mein Fenster"));
        QCOMPARE(W->Label13->text(), QString("Kodierung:"));
        QCOMPARE(W->Label12->text(), QString("a = b=c"));
        QCOMPARE(W->Label14->text(), Label14);
        QCOMPARE(W->Label14->objectName(), QString("Label14"));
        QVERIFY(!W->Label15->isHidden());
        QCOMPARE(W->Label15->text(), QString("Abtastrate:"));
        // The bad number ended the pass, silently.
        QCOMPARE(W->Label16->x(), Label16Left);
        QCOMPARE(W->Label17->text(), Label17);
        QVERIFY(Boxes.empty());

        // "#13#10" is a line break in Ms_NotSaveName only; keys the file lacks are empty.
        QCOMPARE(W->Ms_NotSaveName, QString("Anderer Name:\r\n"));
        QCOMPARE(W->Ms_NotSave, QString("Nicht#13#10gespeichert"));
        QCOMPARE(W->Ms_Info, QString("Hinweis"));
        QCOMPARE(W->PlayErrorText, QString("Abspielen nicht möglich."));
        QCOMPARE(W->Ms_Opening, QString());
        QCOMPARE(W->Ms_ClipErr, QString());

        // A file in the ANSI code page of a Western system.
        const QString Ansi = Write("Ansi.isl", "[FrmMP3Editor]\nLabel23.Caption=Gr\xF6\xDF"
                                               "e:\n");
        W->ApplyLanguageFile(Ansi);
        QCOMPARE(W->Label23->text(), QString("Größe:"));

        // Without a Messages section every message is empty; a missing file changes no control either.
        const QString NoMessages = Write("NoMessages.isl", "[FrmMP3Editor]\nLabel13.Caption=Encoding:\n");
        W->ApplyLanguageFile(NoMessages);
        W->ApplyLanguageFile(Files.filePath("missing.isl"));
        QCOMPARE(W->Label13->text(), QString("Encoding:"));
        for (const QString& Name : {NoMessages, Files.filePath("missing.isl")}) {
            W->Ms_Info = W->Ms_Mono = W->PlayErrorText = "left over";
            W->LoadMessages(Name);
            for (const auto& [Key, Text] : Messages(*W)) QVERIFY2(Text.isEmpty(), Key);
            QVERIFY(W->PlayErrorText.isEmpty());
        }
    }

    void theSystemLanguageIsFoundByItsEnglishName() {
        const std::pair<const char*, const char*> Names[] = {
            {"de_DE.UTF-8", "German"},
            {"zh_CN.UTF-8", "Chinese"},
            {"ja_JP.eucJP", "Japanese"},
            {"fr_CA@euro", "French"},
            {"C", ""},
            {"C.UTF-8", ""},
            {"POSIX", ""},
            {"nn_NO", "Norwegian Nynorsk"},  // 17 characters still fit the buffer
            {"tzm_MA", ""},                  // "Central Atlas Tamazight" does not
        };
        for (const auto& [Locale, Name] : Names) QCOMPARE(LanguageNameOfLocale(Locale), QString(Name));

        const std::pair<const char*, int> Indexes[] = {
            {"English", 0}, {"Spanish", 1},    {"German", 2},           {"Swiss German", 2}, {"Italian", 3},
            {"French", 4},  {"Chinese", 5},    {"Japanese", 6},         {"Korean", 7},       {"", 7},
            {"ENGLISH", 0}, {"Low German", 2}, {"Norwegian Nynorsk", 7}};
        for (const auto& [Name, Index] : Indexes) QCOMPARE(int(LanguageIndexOfName(Name)), Index);

        // LC_ALL before LC_MESSAGES before LANG; nothing set is the "C" locale.
        const QByteArray Saved[] = {qgetenv("LC_ALL"), qgetenv("LC_MESSAGES"), qgetenv("LANG")};
        const struct {
            const char *All, *Messages, *Lang;
            int Index;
        } Environments[] = {{"", "", "de_DE.UTF-8", 2},
                            {"", "fr_FR.UTF-8", "de_DE.UTF-8", 4},
                            {"it_IT", "fr_FR.UTF-8", "de_DE.UTF-8", 3},
                            {"", "", "ja_JP.UTF-8", 6},
                            {"", "", "", 7},
                            {"C", "", "de_DE.UTF-8", 7}};
        for (const auto& E : Environments) {
            qputenv("LC_ALL", E.All);
            qputenv("LC_MESSAGES", E.Messages);
            qputenv("LANG", E.Lang);
            QCOMPARE(int(DetectSystemLanguage()), E.Index);
        }
        qputenv("LC_ALL", Saved[0]);
        qputenv("LC_MESSAGES", Saved[1]);
        qputenv("LANG", Saved[2]);
    }

    void theLanguageMenuSwitchesTheTextsAtOnce() {
        W->SelectLanguage(2);
        QCOMPARE(int(LangIndex), 2);
        QVERIFY(W->PM_German->isChecked());
        QVERIFY(!W->PM_English->isChecked());
        QCOMPARE(W->Label13->text(), QString("Kodierung:"));
        QCOMPARE(W->Label11->text(), QString("Segmora Version 2.3.7.0"));
        QCOMPARE(W->Ms_Info, QString("Hinweis"));
        QCOMPARE(ApplicationTitle(), QString("Segmora"));
        // Qt's own dialogs speak the language too, where its translations are installed.
        const QString Translations = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
        if (QFile::exists(Translations + "/qtbase_de.qm"))
            QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Suchen in:"));

        W->PM_French->trigger();
        QCOMPARE(int(LangIndex), 4);
        QVERIFY(W->PM_French->isChecked());
        QCOMPARE(W->Label13->text(), QString("Encodage:"));

        // English: the menu item is checked, Qt speaks English again.
        W->PM_English->trigger();
        QCOMPARE(int(LangIndex), 0);
        QCOMPARE(W->Label13->text(), QString("Encoding:"));
        QCOMPARE(QCoreApplication::translate("QFileDialog", "Look in:"), QString("Look in:"));
        // The language that is current is not loaded again.
        W->Label13->SetCaption("unchanged");
        W->PM_English->trigger();
        QCOMPARE(W->Label13->text(), QString("unchanged"));

        // A detected Chinese system reads the English file under its own index; English reloads it.
        W->SelectLanguage(5);
        QCOMPARE(int(LangIndex), 5);
        QVERIFY(W->PM_English->isChecked());
        QCOMPARE(W->Label13->text(), QString("Encoding:"));
        W->Label13->SetCaption("reloaded?");
        W->PM_English->trigger();
        QCOMPARE(int(LangIndex), 0);
        QCOMPARE(W->Label13->text(), QString("Encoding:"));

        // The link opens the menu just below its left end.
        W->Label28->show();
        QTest::mouseClick(W->Label28, Qt::LeftButton);
        QTRY_VERIFY(W->PopupMenuView->isVisible());
        QCOMPARE(W->PopupMenuView->pos(), W->Label28->mapToGlobal(QPoint(0, W->Label28->height())));
        W->PopupMenuView->close();
    }

    // Language files travel between users: the geometry they set stays
    // settable, within bounds that keep the window and its buttons usable.
    void aHostileLanguageFileLeavesTheWindowUsable() {
        const QRect Screen = W->screen()->availableGeometry();
        const QSize Design(592, 452);
        const struct {
            const char* Lines;
            QSize Size;  // empty: the design size
        } Cases[] = {
            {"Width=1\nHeight=1", {}},
            {"Width=-5\nHeight=-2147483648", {}},
            {"Width=2147483647\nHeight=2147483647", Screen.size()},
            {"Left=2147483647\nTop=2147483647", {}},
            {"RzBmpButton1.Left=-1000\nRzBmpButton2.Top=5000\nRzBmpButton1.Width=1\nRzBmpButton2.Height=-3", {}},
            {"Left=-100000\nTop=-5\nRzPageControl1.Left=500\nRzPageControl1.Top=0\nLabel10.Top=0", {}},
            {"FS.Left=-5000\nFS.Width=1\nBtnOpenMp3.Left=100000\nLabel12.Width=2147483647", {}},
            {"Width=700\nLeft=-1\nLabel13.Left=17", {700, 452}},
        };
        for (const auto& Case : Cases) {
            NewWindow();
            W->ApplyLanguageFile(Write("Hostile.isl", std::string("[FrmMP3Editor]\n") + Case.Lines + "\n"));
            const QString Where = QString::fromLatin1(Case.Lines);
            QVERIFY2(W->size() == (Case.Size.isEmpty() ? Design : Case.Size), qPrintable(Where));
            QVERIFY2(Screen.contains(W->geometry()), qPrintable(Where));
            QVERIFY2(W->FS->geometry().contains(QRect(QPoint(1, 0), Design)), qPrintable(Where));
            for (TBmpButton* Button : {W->RzBmpButton1, W->RzBmpButton2}) {
                QVERIFY2(W->rect().contains(Button->geometry()) && Button->width() >= 27 && Button->height() >= 20,
                         qPrintable(Where));
                QCOMPARE(W->childAt(Button->geometry().center()), Button);
            }
            for (QWidget* Control : W->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
                if (dynamic_cast<TControl*>(Control) && Control != W->FS)
                    QVERIFY2(W->rect().contains(Control->geometry()), qPrintable(Where + ": " + Control->objectName()));
        }
        // What stays within the bounds is set as the file says.
        QCOMPARE(W->Label13->x(), 17);
    }

    void everyShippedLanguageFileIsCompleteAndFitsTheWindow() {
        // What the window shows before any file: every text a file has to name.
        std::vector<QString> Required;
        for (const auto& [Component, Property] : ReadableTexts(*W))
            Required.push_back(Key(Component, Property, W.get()));
        QVERIFY(Required.size() > 40);

        for (const char* Language : ShippedLanguages) {
            const QString File = LanguageFile(Language);
            QVERIFY2(QFile::exists(File), qPrintable(File));
            NewWindow();
            // The international edition's type, whichever edition this is.
            W->setFont(PixelFont("Tahoma", 11));

            // Parses, with all thirteen messages and the player's words, "#13#10" a break in one of them only.
            W->LoadMessages(File);
            for (const auto& [Name, Text] : Messages(*W)) {
                QVERIFY2(!Text.trimmed().isEmpty(), qPrintable(QString("%1 %2").arg(Language, Name)));
                QVERIFY2(!Text.contains("#13#10"), qPrintable(QString("%1 %2").arg(Language, Name)));
            }
            QVERIFY(W->Ms_NotSaveName.endsWith("\r\n"));
            QVERIFY(!W->PlayErrorText.isEmpty());

            // Every key names a component of the window and a published property of it, and takes effect.
            const TIniFile Ini(File.toStdString());
            const std::vector<std::string> Lines = Ini.ReadSectionValues("FrmMP3Editor");
            QVERIFY(!Lines.empty());
            W->ApplyLanguageFile(File);
            QStringList Named;
            for (const std::string& Line : Lines) {
                const QString Entry = QString::fromStdString(Line);
                const QString Name = Entry.section('=', 0, 0);
                const QString Value = Entry.section('=', 1);
                const QString Component = Name.contains('.') ? Name.section('.', 0, 0) : QString();
                const QString Property = Name.contains('.') ? Name.section('.', 1) : Name;
                QObject* Target = Component.isEmpty() ? W.get() : W->findChild<QObject*>(Component);
                const QString Where = QString("%1: %2").arg(Language, Name);
                QVERIFY2(Target, qPrintable(Where));
                const int Index = PublishedPropertyIndex(Target, Property);
                QVERIFY2(Index >= 0, qPrintable(Where));
                QCOMPARE(Target->metaObject()->property(Index).read(Target).toString(), Value);
                Named << Name;
            }
            QCOMPARE(Named.removeDuplicates(), 0);

            // No text of the design is left as it was, and nothing Chinese is left.
            for (const QString& Text : Required) QVERIFY2(Named.contains(Text), qPrintable(Language + (": " + Text)));
            for (const auto& [Component, Property] : ReadableTexts(*W)) {
                const QString Value = Component->property(Property.toLatin1()).toString();
                QVERIFY2(!Value.contains(QRegularExpression("\\p{Han}")), qPrintable(Language + (": " + Value)));
            }

            // The window's own texts fit its places: captions on the pages end where they should.
            QCOMPARE(W->Label23->geometry().right() + 1, 104);
            for (TLabel* Label : {W->Label23, W->Label13, W->Label14, W->Label15, W->Label16, W->Label17, W->Label3,
                                  W->Label4, W->Label5, W->Label9, W->Label7})
                QVERIFY2(Label->x() >= 0, qPrintable(Language + (": " + Label->text())));
            QVERIFY2(W->Label6->x() >= W->RzEdit5->geometry().right(), Language);
            QVERIFY2(W->Label8->x() >= W->RzComboBox1->geometry().right(), Language);
            QVERIFY2(W->Label12->geometry().right() < W->width(), Language);
            for (TGlyphButton* Button : {W->BtnPlayStart, W->BtnStop})
                QVERIFY2(Button->sizeHint().width() <= Button->width(), qPrintable(Language + (": " + Button->text())));
        }
    }
};

QTEST_MAIN(LanguageTest)
#include "LanguageTest.moc"
