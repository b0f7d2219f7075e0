// What the sponsor windows take from outside: how they ask a Yes/No question
// and how they make an HTTP request. Both default to the real thing; tests
// and other callers hand in their own.
#pragma once

#include <QString>

#include <functional>
#include <string>

#include "platform/HttpClient.h"

class QWidget;

// A modal box with Yes and No, No the default, and the question icon; true
// for Yes. Text may hold CR LF line breaks.
using TQuestionBox = std::function<bool(QWidget* Owner, const QString& Text, const QString& Caption)>;
// Performs one request, on whatever thread calls it: the body of a 2xx
// answer, or an exception.
using THttpFetch = std::function<std::string(const THttpRequest& Request, THttpCancel& Cancel)>;

bool AskYesNo(QWidget* Owner, const QString& Text, const QString& Caption);

struct TSponsorServices {
    TQuestionBox Question = AskYesNo;
    THttpFetch Fetch = [](const THttpRequest& Request, THttpCancel& Cancel) { return HttpRequest(Request, &Cancel); };
};
