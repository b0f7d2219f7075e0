// The edition the program is built as, started the way a user starts it: on a
// system whose language ctest sets (LANG), with or without a settings file.
// The Chinese edition keeps its built-in texts whatever the system speaks and
// writes the stored setting back unchanged; the international edition takes
// the system's language on first start, and the stored one afterwards.
#include <QtTest/QtTest>

#include <QFile>

#include "editor/UnitMP3Editor.h"
#include "tests/editor/WindowHarness.h"

class EditionTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    void Store(const char* Value) { StoreSettings(QByteArray("[LANGUAGE]\nDefault=") + Value + "\n"); }

    // The stored setting after the window has closed.
    int StoredAtClose() {
        W->close();
        const QByteArray All = StoredSettings();
        const qsizetype At = All.indexOf("Default=");
        return At < 0 ? -1 : All.mid(At + 8).trimmed().toInt();
    }

    // The system's language as the test's environment gives it.
    static QString SystemLanguage() { return qEnvironmentVariable("LANG").left(2); }

    void ShowsTheChineseTexts() {
        QVERIFY(W->Label28->isHidden());
        QCOMPARE(W->Label13->text(), QString("编码:"));
        QCOMPARE(W->Ms_Info, QString("信息"));
    }

private slots:
    void initTestCase() {
        StartHarness();
        QVERIFY2(SystemLanguage() == "de" || SystemLanguage() == "zh", "run with LANG=de_DE.UTF-8 or zh_CN.UTF-8");
    }
    void init() { QFile::remove(SettingsFile()); }
    void cleanup() { W.reset(); }

    void theFirstStartFollowsTheSystemLanguage() {
        NewTest();
        if (ChineseEdition) {
            ShowsTheChineseTexts();
            QCOMPARE(int(LangIndex), 7);
            QCOMPARE(StoredAtClose(), 7);
            return;
        }
        QVERIFY(W->Label28->isVisible());
        if (SystemLanguage() == "de") {
            QCOMPARE(int(LangIndex), 2);
            QVERIFY(W->PM_German->isChecked());
            QCOMPARE(W->Label13->text(), QString("Kodierung:"));
            QCOMPARE(W->Label28->text(), QString(">> Sprache"));
            QCOMPARE(W->OpenDialog1->Title, QString("MP3-Datei öffnen"));
            QCOMPARE(W->Ms_Info, QString("Hinweis"));
            QCOMPARE(StoredAtClose(), 2);
            return;
        }
        // Chinese is detected, and read through the English file under its own index.
        QCOMPARE(int(LangIndex), 5);
        QVERIFY(W->PM_English->isChecked());
        QCOMPARE(W->Label13->text(), QString("Encoding:"));
        QCOMPARE(W->Ms_Info, QString("Information"));
        QCOMPARE(StoredAtClose(), 5);
        // The next start keeps it.
        NewWindow();
        QCOMPARE(int(LangIndex), 5);
    }

    void aStoredLanguageWinsOverTheSystemOnesUntilItIsSeven() {
        Store("3");
        NewTest();
        if (ChineseEdition) {
            ShowsTheChineseTexts();
            QCOMPARE(StoredAtClose(), 3);
            return;
        }
        QCOMPARE(int(LangIndex), 3);
        QVERIFY(W->PM_Italian->isChecked());
        QCOMPARE(W->Label17->text(), QString("Durata:"));
        // The menu switches at once and the choice is what the next start reads.
        W->PM_Spanish->trigger();
        QCOMPARE(W->Label17->text(), QString("Duración:"));
        QCOMPARE(StoredAtClose(), 1);

        Store("7");
        NewWindow();
        QCOMPARE(int(LangIndex), SystemLanguage() == "de" ? 2 : 5);
    }
};

QTEST_MAIN(EditionTest)
#include "EditionTest.moc"
