#include "editor/CommandLine.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QDir>

#include <cstdio>

#include "platform/Version.h"

namespace {

const char* const UsageText =
    "Usage: segmora [--version] [--help] [FILE]\n"
    "Opens the window for cutting a piece out of an MP3 file; with FILE, opens that file in it.\n"
    "\n"
    "  --version   print the program's version and exit\n"
    "  -h, --help  print this help and exit\n";

}  // namespace

TCommandLine ParseCommandLine(const QStringList& Arguments) {
    QCommandLineParser Parser;
    const QCommandLineOption Version(QStringLiteral("version"));
    const QCommandLineOption Help(QStringList{QStringLiteral("h"), QStringLiteral("help")});
    Parser.addOption(Version);
    Parser.addOption(Help);
    Parser.addPositionalArgument(QStringLiteral("FILE"), QString(), QStringLiteral("[FILE]"));

    TCommandLine Line;
    if (!Parser.parse(Arguments)) {
        Line.Action = TCommandLine::TAction::Usage;
        Line.Error = Parser.errorText();
        return Line;
    }
    if (Parser.isSet(Version)) {
        Line.Action = TCommandLine::TAction::Version;
        return Line;
    }
    if (Parser.isSet(Help)) {
        Line.Action = TCommandLine::TAction::Help;
        return Line;
    }
    const QStringList Files = Parser.positionalArguments();
    if (Files.size() > 1) {
        Line.Action = TCommandLine::TAction::Usage;
        Line.Error = QStringLiteral("One file at a time.");
    } else if (Files.size() == 1 && Files[0].isEmpty()) {
        Line.Action = TCommandLine::TAction::Usage;
        Line.Error = QStringLiteral("The file name is empty.");
    } else if (Files.size() == 1) {
        Line.FileName = QDir::cleanPath(QDir::current().absoluteFilePath(Files[0]));
    }
    return Line;
}

QStringList ArgumentsOf(int argc, char* argv[]) {
    QStringList Arguments;
    for (int I = 0; I < argc; ++I) Arguments << QString::fromLocal8Bit(argv[I]);
    return Arguments;
}

int AnswerCommandLine(const TCommandLine& Line) {
    switch (Line.Action) {
    case TCommandLine::TAction::Version: std::printf("segmora %s\n", SegmoraVersion); return 0;
    case TCommandLine::TAction::Help: std::fputs(UsageText, stdout); return 0;
    case TCommandLine::TAction::Usage:
        std::fprintf(stderr, "segmora: %s\n%s", qPrintable(Line.Error), UsageText);
        return 2;
    case TCommandLine::TAction::Run: break;
    }
    return -1;
}
