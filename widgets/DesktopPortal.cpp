#include "widgets/DesktopPortal.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusUnixFileDescriptor>
#include <QFile>
#include <QString>
#include <QUrl>
#include <QVariantMap>

namespace {

const char* const PortalService = "org.freedesktop.portal.Desktop";
const char* const PortalPath = "/org/freedesktop/portal/desktop";
const char* const OpenUriInterface = "org.freedesktop.portal.OpenURI";
// A portal that is there answers at once; the chooser runs after the answer.
const int AnswerTimeoutMs = 5000;

}  // namespace

bool AskPortalToOpenWith(const QUrl& Address) {
    QDBusConnection Bus = QDBusConnection::sessionBus();
    if (!Bus.isConnected() || !Address.isValid()) return false;

    QVariantMap Options;
    // "ask": the portal shows its chooser even where a default application is set.
    Options.insert(QStringLiteral("ask"), true);
    QDBusMessage Call;
    if (Address.isLocalFile()) {
        QFile File(Address.toLocalFile());
        if (!File.open(QIODevice::ReadOnly)) return false;
        Call = QDBusMessage::createMethodCall(QLatin1String(PortalService), QLatin1String(PortalPath),
                                              QLatin1String(OpenUriInterface), QStringLiteral("OpenFile"));
        // The descriptor is duplicated into the message, so the file may close after the call.
        Call << QString() << QVariant::fromValue(QDBusUnixFileDescriptor(File.handle())) << Options;
        return Bus.call(Call, QDBus::Block, AnswerTimeoutMs).type() == QDBusMessage::ReplyMessage;
    }
    Call = QDBusMessage::createMethodCall(QLatin1String(PortalService), QLatin1String(PortalPath),
                                          QLatin1String(OpenUriInterface), QStringLiteral("OpenURI"));
    Call << QString() << Address.toString(QUrl::FullyEncoded) << Options;
    return Bus.call(Call, QDBus::Block, AnswerTimeoutMs).type() == QDBusMessage::ReplyMessage;
}
