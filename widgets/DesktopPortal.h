// The freedesktop desktop portal's "open with" chooser: the dialog in which
// the user picks the application that opens an address or a file.
#pragma once

class QUrl;

// Asks the portal on the session bus to let the user choose an application
// for Address (a local file is handed over as an open file). False where
// there is no session bus or no portal, or the portal refused the request;
// the chooser itself runs in the portal, and this returns once it has been
// asked for.
bool AskPortalToOpenWith(const QUrl& Address);
