// Where the window program finds its files: the read-only ones beside it or
// in the installed data folder, the settings file as a portable copy beside
// it or in the user's configuration folder; and a window's use of them.
#include <QtTest/QtTest>

#include <QDir>
#include <QFile>

#include <unistd.h>

#include "editor/ProgramFiles.h"
#include "editor/UnitMP3Editor.h"
#include "tests/editor/WindowHarness.h"

namespace {

// An environment variable set (or unset, for a null Value) for as long as this lives.
class TEnvironment {
public:
    TEnvironment(const char* Name, const QString& Value)
        : FName(Name), FHad(qEnvironmentVariableIsSet(Name)), FOld(qgetenv(Name)) {
        if (Value.isNull())
            qunsetenv(Name);
        else
            qputenv(Name, QFile::encodeName(Value));
    }
    ~TEnvironment() {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }

private:
    const char* FName;
    bool FHad;
    QByteArray FOld;
};

// Root may write any file; while this lives, files are judged as an ordinary
// user (nobody) would find them.
class TAsOrdinaryUser {
public:
    TAsOrdinaryUser() : FWasRoot(geteuid() == 0) {
        if (FWasRoot && seteuid(65534) != 0) qFatal("cannot become nobody");
    }
    ~TAsOrdinaryUser() {
        if (FWasRoot && seteuid(0) != 0) qFatal("cannot become root again");
    }

private:
    bool FWasRoot;
};

void Touch(const QString& Path) {
    QFile F(Path);
    QVERIFY2(F.open(QIODevice::WriteOnly), qPrintable(Path));
}

}  // namespace

class ProgramFilesTest : public QObject, private TWindowHarness {
    Q_OBJECT

private:
    QTemporaryDir Tree;
    QString Program() const { return Tree.path() + "/bin/"; }
    QString Portable() const { return QCoreApplication::applicationDirPath() + "/Segmora.ini"; }

private slots:
    void initTestCase() {
        StartHarness();
        QVERIFY(Tree.isValid());
        // An ordinary user must reach the files in it.
        QVERIFY(QFile::setPermissions(Tree.path(), QFileDevice::Permissions(0x7755)));
    }
    void init() {
        QVERIFY(QDir(Tree.path()).removeRecursively());
        QVERIFY(QDir().mkpath(Program()));
        QVERIFY(QFile::setPermissions(Tree.path(), QFileDevice::Permissions(0x7755)));
        QVERIFY(QFile::setPermissions(Program(), QFileDevice::Permissions(0x7755)));
        QFile::remove(SettingsFile());
        QFile::remove(Portable());
    }
    void cleanup() {
        W.reset();
        QFile::remove(Portable());
    }

    void readOnlyFilesAreBesideTheProgramOrInTheDataFolder() {
        // As the install lays them out: share/segmora beside bin/, unless the build named other folders.
        const QString Installed = QDir::isAbsolutePath(SEGMORA_DATA_FROM_PROGRAM)
                                      ? QString(SEGMORA_DATA_FROM_PROGRAM) + "/"
                                      : QDir::cleanPath(Program() + SEGMORA_DATA_FROM_PROGRAM) + "/";
        QCOMPARE(ReadOnlyFolder(Program()), Installed);
        QVERIFY(!Installed.contains(".."));
        if (!QDir::isAbsolutePath(SEGMORA_DATA_FROM_PROGRAM)) QCOMPARE(Installed, Tree.path() + "/share/segmora/");
        // A file named Languages is not the folder of language files.
        Touch(Program() + "Languages");
        QCOMPARE(ReadOnlyFolder(Program()), Installed);
        QVERIFY(QFile::remove(Program() + "Languages"));
        QVERIFY(QDir().mkpath(Program() + "Languages"));
        QCOMPARE(ReadOnlyFolder(Program()), Program());
        QVERIFY(QDir(Program() + "Languages").removeRecursively());
        Touch(Program() + "MarkStart.bmp");
        QCOMPARE(ReadOnlyFolder(Program()), Program());

        // The test program has the files beside it, as the build tree does.
        NewTest();
        QCOMPARE(DataPath, AppPath);
        QCOMPARE(DataFile("Languages/English.isl"), AppPath + "Languages/English.isl");
    }

    void theSettingsFileIsAWritablePortableCopyOrTheUsersOne() {
        const QString Home = Tree.path() + "/home";
        const TEnvironment HomeVariable("HOME", Home);
        const QString Mine = Program() + "Segmora.ini";
        {
            const TEnvironment Config("XDG_CONFIG_HOME", Tree.path() + "/config");
            const QString User = Tree.path() + "/config/segmora/Segmora.ini";
            QCOMPARE(UserConfigFolder(), Tree.path() + "/config/segmora");
            // Absent beside the program, or something that cannot be written: the user's.
            QCOMPARE(SettingsFileFor(Program()), User);
            QVERIFY(QDir().mkpath(Mine));
            QCOMPARE(SettingsFileFor(Program()), User);
            QVERIFY(QDir().rmdir(Mine));
            Touch(Mine);
            QVERIFY(
                QFile::setPermissions(Mine, QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther));
            {
                const TAsOrdinaryUser Nobody;
                QCOMPARE(SettingsFileFor(Program()), User);
            }
            // Writable: the portable copy, left as it was.
            QVERIFY(QFile::setPermissions(Mine, QFileDevice::Permissions(0x6666)));
            {
                QFile F(Mine);
                QVERIFY(F.open(QIODevice::WriteOnly));
                F.write("[LANGUAGE]\nDefault=3\n");
            }
            {
                const TAsOrdinaryUser Nobody;
                QCOMPARE(SettingsFileFor(Program()), Mine);
            }
            QCOMPARE(SettingsFileFor(Program()), Mine);
            QFile Kept(Mine);
            QVERIFY(Kept.open(QIODevice::ReadOnly));
            QCOMPARE(Kept.readAll(), QByteArray("[LANGUAGE]\nDefault=3\n"));
            QVERIFY(QFile::remove(Mine));
            // Nothing is made by looking.
            QVERIFY(!QFile::exists(Tree.path() + "/config"));
        }
        // No XDG_CONFIG_HOME, or one that is not absolute: ~/.config.
        for (const QString& Config : {QString(), QString("relative/config")}) {
            const TEnvironment Variable("XDG_CONFIG_HOME", Config);
            QCOMPARE(SettingsFileFor(Program()), Home + "/.config/segmora/Segmora.ini");
        }
    }

    void aWindowKeepsItsSettingsInTheUsersFolderAndMakesItAtClose() {
        QVERIFY(QDir(Config.path() + "/segmora").removeRecursively());
        NewTest();
        QCOMPARE(W->SettingsFileName(), SettingsFile());
        QCOMPARE(W->Sponsor->IniFileName, SettingsFile().toStdString());
        QVERIFY(!QFile::exists(Config.path() + "/segmora"));
        W->close();
        QCOMPARE(StoredSettings(), QByteArray("[LANGUAGE]\nDefault=") + QByteArray::number(LangIndex) + "\n");
        QVERIFY(Boxes.empty());
        QVERIFY(!QFile::exists(Portable()));

        // The next start reads it, the sponsor counter too.
        StoreSettings("[LANGUAGE]\nDefault=3\n[ZZ]\nsyCount=5\n");
        NewTest();
        QCOMPARE(int(LangIndex), 3);
        QCOMPARE(W->Sponsor->UseCount, 5);
    }

    void aPortableCopyBesideTheProgramIsUsedThere() {
        Touch(Portable());
        StoreSettings("[LANGUAGE]\nDefault=3\n[ZZ]\nsyCount=5\n");
        NewTest();
        QCOMPARE(W->SettingsFileName(), Portable());
        QCOMPARE(W->Sponsor->IniFileName, Portable().toStdString());
        QVERIFY(LangIndex != 3);
        QCOMPARE(W->Sponsor->UseCount, 0);
        W->close();
        QFile F(Portable());
        QVERIFY(F.open(QIODevice::ReadOnly));
        QCOMPARE(F.readAll(), QByteArray("[LANGUAGE]\nDefault=") + QByteArray::number(LangIndex) + "\n");
        // The user's file is not touched.
        QCOMPARE(StoredSettings(), QByteArray("[LANGUAGE]\nDefault=3\n[ZZ]\nsyCount=5\n"));
        QVERIFY(Boxes.empty());
    }

    void aSettingsFolderThatCannotBeMadeIsReportedAtClose() {
        // The configuration folder's place is taken by a file.
        const QString Blocked = Tree.path() + "/blocked";
        Touch(Blocked);
        const TEnvironment Config("XDG_CONFIG_HOME", Blocked);
        NewTest();
        W->close();
        QVERIFY(!W->isVisible());
        QCOMPARE(Boxes.size(), size_t(1));
        QCOMPARE(Boxes[0].Icon, TMsgIcon::Error);
        QVERIFY2(Boxes[0].Text.contains(Blocked + "/segmora/Segmora.ini"), qPrintable(Boxes[0].Text));
    }
};

QTEST_MAIN(ProgramFilesTest)
#include "ProgramFilesTest.moc"
