#include "tests/editor/WindowHarness.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QtTest/QtTest>

#include "editor/ProgramFiles.h"
#include "player/Mpg123Player.h"
#include "sponsor/UnitSponsorMsg.h"
#include "tests/support/TestFiles.h"
#include "widgets/FormServices.h"

namespace {

std::unique_ptr<TMediaPlayer> SilentPlayer() { return CreateMediaPlayer(TAudioOutputKind::Null); }

}  // namespace

TWindowHarness::TWindowHarness() : MakePlayer(SilentPlayer) {}

TWindowHarness::~TWindowHarness() = default;

void TWindowHarness::StartHarness() {
    QVERIFY(Files.isValid());
    QVERIFY(Config.isValid());
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(Config.path()));
    SetProgramNames();
    // A copy beside the test program, left by an older build, would be taken
    // for a portable copy's settings.
    QFile::remove(QCoreApplication::applicationDirPath() + "/Segmora.ini");
    QApplication::setQuitOnLastWindowClosed(false);
    InstallFontSubstitutes();
    Modals.Otherwise([](QWidget* Modal) {
        if (auto* Message = qobject_cast<TFrmSponsorMsg*>(Modal)) QTest::mouseClick(Message->RzButton2, Qt::LeftButton);
    });
}

void TWindowHarness::NewTest() {
    Boxes.clear();
    CancelDialog = false;
    SaveDialogs = 0;
    Answer = TMsgAnswer::No;
    OpenedUrls.clear();
    ChooserUrls.clear();
    DesktopOpens = true;
    MakePlayer = SilentPlayer;
    NewWindow();
}

QString TWindowHarness::SettingsFile() const { return Config.path() + "/segmora/Segmora.ini"; }

void TWindowHarness::StoreSettings(const QByteArray& Text) {
    QVERIFY(QDir().mkpath(Config.path() + "/segmora"));
    QFile F(SettingsFile());
    QVERIFY(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(F.write(Text), Text.size());
}

QByteArray TWindowHarness::StoredSettings() const {
    QFile F(SettingsFile());
    return F.open(QIODevice::ReadOnly) ? F.readAll() : QByteArray();
}

TWindowServices TWindowHarness::Services() {
    TWindowServices S;
    S.MakeMediaPlayer = [this] { return MakePlayer(); };
    S.ShowMessage = [this](QWidget*, const TMessage& Message) {
        Boxes.push_back({Message.Text, Message.Caption, Message.Icon, Message.Buttons, Message.Details});
        return Message.Buttons == TMsgButtons::YesNo ? Answer : TMsgAnswer::Ok;
    };
    S.ExecuteDialog = [this](QWidget*, TFileDialog& Dialog) {
        DialogTitle = Dialog.Title;
        if (Dialog.Kind == TFileDialog::TKind::Save) {
            ++SaveDialogs;
            OfferedName = Dialog.FileName;
        }
        if (CancelDialog) return false;
        Dialog.FileName = NextFile;
        return true;
    };
    S.OpenUrl = [this](const QUrl& Address) {
        OpenedUrls.push_back(Address);
        return DesktopOpens;
    };
    S.ChooseApplication = [this](const QUrl& Address) {
        ChooserUrls.push_back(Address);
        return true;
    };
    return S;
}

void TWindowHarness::NewWindow() {
    W = std::make_unique<TFrmMP3Editor>(Services());
    W->show();
    QVERIFY(QTest::qWaitForWindowExposed(W.get()));
}

QString TWindowHarness::Edition(const char* Chinese, const char* International) {
    return QString::fromUtf8(ChineseEdition ? Chinese : International);
}

QString TWindowHarness::Fixture(const char* Name) const { return QString::fromStdString(TestFiles::Fixture(Name)); }

QString TWindowHarness::Write(const QString& Name, const std::string& Bytes) {
    const QString Path = Files.filePath(Name);
    QFile F(Path);
    if (!F.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(Path));
    F.write(Bytes.data(), static_cast<qint64>(Bytes.size()));
    return Path;
}

QString TWindowHarness::Copy(const char* Name, const QString& As) {
    const QString Path = Files.filePath(As);
    QFile::remove(Path);
    if (!QFile::copy(Fixture(Name), Path)) qFatal("cannot copy %s", Name);
    return Path;
}

void TWindowHarness::Open(const QString& Path) {
    NextFile = Path;
    CancelDialog = false;
    QTest::mouseClick(W->BtnOpenMp3, Qt::LeftButton);
}

void TWindowHarness::Save(const QString& Path) {
    NextFile = Path;
    CancelDialog = false;
    QTest::mouseClick(W->BtnSaveMp3, Qt::LeftButton);
}

void TWindowHarness::Drag(TImage* Marker, std::initializer_list<int> WindowXs, Qt::MouseButton Button) {
    const QPoint Grab(8, 8);
    const int Y = Marker->y() + Grab.y();
    QTest::mousePress(Marker, Button, {}, Grab);
    // The mouse stays where it was put while the marker moves under it.
    QPoint Mouse = Marker->pos() + Grab;
    for (const int X : WindowXs) {
        Mouse = QPoint(X, Y);
        QTest::mouseMove(Marker, Mouse - Marker->pos());
    }
    QTest::mouseRelease(Marker, Button, {}, Mouse - Marker->pos());
}

void TWindowHarness::TypeAt(TMaskEdit* Edit, int Position, const QString& Keys) {
    Edit->setCursorPosition(Position);
    QTest::keyClicks(Edit, Keys);
}

void TWindowHarness::SetTime(TMaskEdit* Edit, const QString& Code) {
    Edit->selectAll();
    QTest::keyClicks(Edit, QString(Code).remove(':').remove('.'));
}

void TWindowHarness::Type(TEdit* Edit, const QString& Text) {
    Edit->clear();
    QTest::keyClicks(Edit, Text);
}
