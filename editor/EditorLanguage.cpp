// The international edition's texts: language files in the folder Languages
// among the program's read-only files (DataPath), chosen by the language setting, by the system's
// language on first start, and by the user through the language menu.
#include "editor/UnitMP3Editor.h"

#include <QLocale>
#include <QMenu>
#include <QMetaProperty>
#include <QStringDecoder>

#include <array>
#include <stdexcept>
#include <string>
#include <vector>

#include "editor/CuttingAids.h"
#include "editor/EditorCommon.h"
#include "platform/IniFile.h"
#include "platform/LocaleServices.h"
#include "widgets/FormServices.h"
#include "widgets/UsableBounds.h"

namespace {

struct TLanguage {
    const char* File;     // in the folder Languages
    const char* Toolkit;  // the language of Qt's own texts; empty for Qt's English
};

// By language index: English, Spanish, German, Italian, French, and the
// three that fall back to English (Chinese and Japanese detected, not set).
const std::array<TLanguage, 8> Languages = {{{"English.isl", ""},
                                             {"Spanish.isl", "es"},
                                             {"German.isl", "de"},
                                             {"Italian.isl", "it"},
                                             {"French.isl", "fr"},
                                             {"English.isl", ""},
                                             {"English.isl", ""},
                                             {"English.isl", ""}}};

const TLanguage& LanguageOf(uint8_t Index) { return Languages[Index < Languages.size() ? Index : 7]; }

QString LanguageFile(uint8_t Index) {
    return DataFile(QStringLiteral("Languages/") + QLatin1String(LanguageOf(Index).File));
}

// A text of a language file: UTF-8 where the bytes are UTF-8, otherwise the
// system's ANSI code page, which is what older files were written in.
QString IniText(const std::string& Bytes) {
    QStringDecoder Utf8(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString Text = Utf8(QByteArrayView(Bytes.data(), static_cast<qsizetype>(Bytes.size())));
    if (!Utf8.hasError()) return Text;
    return QString::fromStdString(AnsiToUtf8(Bytes, SystemAnsiCodePage()));
}

// A component the window owns, by its name, its letter case ignored as the
// toolkit's names are.
QObject* FindComponent(QObject* Owner, const QString& Name) {
    if (Name.isEmpty()) return nullptr;
    if (QObject* Exact = Owner->findChild<QObject*>(Name)) return Exact;
    for (QObject* Child : Owner->findChildren<QObject*>())
        if (Child->objectName().compare(Name, Qt::CaseInsensitive) == 0) return Child;
    return nullptr;
}

// What a language file may not take from the window: its design size at
// least, its skin's design area, its close and minimise buttons.
TUsableBounds::TRules UsableBounds(TFrmMP3Editor& W) {
    const auto Button = [](QWidget* Control) {
        return TUsableBounds::TButton{Control, DesignPlaceOf(qPrintable(Control->objectName())).size()};
    };
    TUsableBounds::TRules Rules;
    Rules.MinWindow = DesignPlaceOf("FS").size();
    Rules.Skin = W.FS;
    Rules.SkinArea = DesignPlaceOf("FS");
    Rules.Buttons = {Button(W.RzBmpButton1), Button(W.RzBmpButton2)};
    return Rules;
}

}  // namespace

// ------------------------------------------------------------------ unit functions

void SetPropertyText(QObject* Component, const QString& PropName, const QString& Value) {
    const int Index = PublishedPropertyIndex(Component, PropName);
    if (Index < 0) return;
    const QMetaProperty Property = Component->metaObject()->property(Index);
    switch (Property.metaType().id()) {
    case QMetaType::Int: {
        int32_t Number = 0;
        if (!TryStrToInt(Value.toStdString(), Number))
            throw std::invalid_argument("'" + Value.toStdString() + "' is not a valid integer value");
        Property.write(Component, Number);
        break;
    }
    case QMetaType::QString: Property.write(Component, Value); break;
    case QMetaType::QStringList: {
        QStringList Lines;
        SplitAtSeparator(Value, QStringLiteral("||"), Lines);
        Property.write(Component, Lines);
        break;
    }
    default: break;
    }
}

void SplitAtSeparator(const QString& Text, const QString& Separator, QStringList& List) {
    List.clear();
    const qsizetype At = Separator.isEmpty() ? -1 : Text.indexOf(Separator);
    if (At < 0) {
        List << Text;
        return;
    }
    List << Text.mid(At + Separator.size()) << Text.left(At);
}

QString ExpandLineBreaks(const QString& Text) {
    QString Result = Text;
    Result.replace(QLatin1String("#13#10"), QLatin1String("\r\n"));
    return Result;
}

QString LanguageNameOfLocale(const QString& LocaleName) {
    const QLocale Locale(LocaleName);
    if (Locale.language() == QLocale::C || Locale.language() == QLocale::AnyLanguage) return QString();
    const QString Name = QLocale::languageToString(Locale.language());
    // The platform's query leaves 19 characters for the name and its
    // terminating zero, and fails for a longer one.
    constexpr qsizetype BufferChars = 19;
    return Name.size() < BufferChars ? Name : QString();
}

QString GetSystemLanguageName() {
    for (const char* Variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const QString Value = qEnvironmentVariable(Variable);
        if (!Value.isEmpty()) return LanguageNameOfLocale(Value);
    }
    return QString();
}

uint8_t LanguageIndexOfName(const QString& Name) {
    const QString Lower = Name.toLower();
    const std::pair<const char*, uint8_t> Known[] = {{"english", 0}, {"german", 2},  {"spanish", 1}, {"french", 4},
                                                     {"italian", 3}, {"chinese", 5}, {"japan", 6}};
    for (const auto& [Part, Index] : Known)
        if (Lower.contains(QLatin1String(Part))) return Index;
    return 7;
}

uint8_t DetectSystemLanguage() { return LanguageIndexOfName(GetSystemLanguageName()); }

// ------------------------------------------------------------------ the window's language

void TFrmMP3Editor::SelectLanguage(uint8_t Index) {
    LangIndex = Index;
    Label11->SetCaption(QStringLiteral("Segmora version 2.3.7.0"));
    SetApplicationTitle(QStringLiteral("Segmora"));

    TMenuItem* const Items[] = {PM_English, PM_Spanish, PM_German, PM_Italian, PM_French};
    Items[Index < 5 ? Index : 0]->setChecked(true);
    SetToolkitLanguage(QLatin1String(LanguageOf(Index).Toolkit));

    LoadMessages(LanguageFile(Index));
    ApplyLanguageFile(LanguageFile(Index));
    if (CuttingAids) CuttingAids->LanguageApplied();
}

void TFrmMP3Editor::LoadMessages(const QString& FileName) {
    const TIniFile File(FileName.toStdString());
    const auto Read = [&File](const char* Key) { return IniText(File.ReadString("Messages", Key, std::string())); };
    Ms_Opening = Read("Ms_Opening");
    Ms_Waiting = Read("Ms_Waiting");
    Ms_AppError = Read("Ms_AppError");
    Ms_Error = Read("Ms_Error");
    Ms_Pos = Read("Ms_Pos");
    Ms_Unknow = Read("Ms_Unknow");
    Ms_Mono = Read("Ms_Mono");
    Ms_Stereo = Read("Ms_Stereo");
    Ms_Info = Read("Ms_Info");
    Ms_NotMP3 = Read("Ms_NotMP3");
    Ms_NotSaveName = ExpandLineBreaks(Read("Ms_NotSaveName"));
    Ms_NotSave = Read("Ms_NotSave");
    Ms_ClipErr = Read("Ms_ClipErr");
    PlayErrorText = Read("Ms_PlayErr");
}

void TFrmMP3Editor::ApplyLanguageFile(const QString& FileName) {
    const TIniFile File(FileName.toStdString());
    TUsableBounds Bounds(*this, UsableBounds(*this));
    QStringList Parts;
    try {
        for (const std::string& Line : File.ReadSectionValues(objectName().toStdString())) {
            SplitAtSeparator(IniText(Line), QStringLiteral("="), Parts);
            if (Parts.size() < 2) continue;
            const QString Key = Parts[1].trimmed();
            const QString Value = Parts[0].trimmed();
            const qsizetype Dot = Key.indexOf(QLatin1Char('.'));
            const QString ComponentName = Dot < 0 ? QString() : Key.left(Dot).trimmed();
            const QString PropName = Dot < 0 ? Key : Key.mid(Dot + 1).trimmed();
            QObject* Target = ComponentName.isEmpty() ? this : FindComponent(this, ComponentName);
            if (!Target) continue;
            SetPropertyText(Target, PropName, Value);
        }
    } catch (const std::exception&) {
        // A line that cannot be applied ends the pass; what came before it stays.
    }
    Bounds.Settle();
}

// ------------------------------------------------------------------ the language menu

void TFrmMP3Editor::Label28Click(QWidget*) { PopupMenuView->popup(Label28->mapToGlobal(QPoint(0, Label28->height()))); }

void TFrmMP3Editor::PM_EnglishClick(QObject* Sender) {
    const int Tag = TagOf(Sender);
    // A tag a language file made no language index of selects nothing.
    if (Tag < 0 || Tag > 7) return;
    if (LangIndex != Tag) SelectLanguage(static_cast<uint8_t>(Tag));
}
