// What the window tests share: services that record message boxes and answer
// the file dialogs in place of the user, a fresh editor window for each test
// playing through the silent output, files for it to open, and real mouse and
// key events on its markers and edits. A test class derives from QObject and
// from TWindowHarness, and calls StartHarness() in initTestCase() and
// NewTest() in init(). The windows keep their settings where an installed
// copy does, in the user's configuration folder, here a scratch folder of the
// test program's own (XDG_CONFIG_HOME).
#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "editor/UnitMP3Editor.h"
#include "tests/support/ModalDriver.h"
#include "widgets/WindowServices.h"

class TMediaPlayer;

constexpr int64_t operator""_ms(unsigned long long Value) { return static_cast<int64_t>(Value); }

// A message box the window asked for.
struct TBox {
    QString Text, Caption;
    TMsgIcon Icon;
    TMsgButtons Buttons;
    QString Details{};
};

class TWindowHarness {
public:
    TWindowHarness();
    virtual ~TWindowHarness();

protected:
    QTemporaryDir Files;
    QTemporaryDir Config;
    std::vector<TBox> Boxes;
    // The answers to the next dialogs: the file chosen, or a cancel.
    QString NextFile;
    bool CancelDialog = false;
    // What the dialogs asked: the last title, how many save dialogs, and the
    // name the last save dialog offered.
    QString DialogTitle;
    int SaveDialogs = 0;
    QString OfferedName;
    // The answer to questions.
    TMsgAnswer Answer = TMsgAnswer::No;
    // What the desktop was asked: addresses to open and addresses to choose
    // an application for; and whether it manages to open them.
    std::vector<QUrl> OpenedUrls;
    std::vector<QUrl> ChooserUrls;
    bool DesktopOpens = true;
    // The players of the next window's engine; the silent output unless a test says otherwise.
    std::function<std::unique_ptr<TMediaPlayer>()> MakePlayer;
    std::unique_ptr<TFrmMP3Editor> W;
    // Acts on the modal windows the window opens; unless a test says
    // otherwise, it answers every closing message with "later".
    TModalDriver Modals;

    void StartHarness();
    // The settings file the windows use: $XDG_CONFIG_HOME/segmora/Segmora.ini.
    QString SettingsFile() const;
    // Makes the settings file hold Text, and its folder when it is missing.
    void StoreSettings(const QByteArray& Text);
    // The settings file's bytes; empty when there is none.
    QByteArray StoredSettings() const;
    // Forgets the last test's boxes and answers and opens a fresh window.
    void NewTest();
    // Services that record and answer through this harness.
    TWindowServices Services();
    void NewWindow();

    // A text as the window's edition words it: the Chinese edition's built-in
    // text, or the one of the international edition's English language file.
    static QString Edition(const char* Chinese, const char* International);

    QString Fixture(const char* Name) const;
    // Bytes as a new file in the test's own folder; its path.
    QString Write(const QString& Name, const std::string& Bytes);
    // A copy of a fixture in the test's own folder, which the window may hold and the tests may replace.
    QString Copy(const char* Fixture, const QString& As);

    void Open(const QString& Path);
    void Save(const QString& Path);
    // Presses a marker, moves the mouse to each window x in turn (at the
    // marker's height) and releases it there.
    void Drag(TImage* Marker, std::initializer_list<int> WindowXs, Qt::MouseButton Button = Qt::LeftButton);
    void TypeAt(TMaskEdit* Edit, int Position, const QString& Keys);
    // Types a whole time code over the edit's text.
    void SetTime(TMaskEdit* Edit, const QString& Code);
    void Type(TEdit* Edit, const QString& Text);
};
