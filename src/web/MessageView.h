// The received message in hand as the web object reads it. The e-mail side owns the message;
// the main window hands the web object this read-only view of it, so the web robot never
// depends on the gateway.
#pragma once

#include <QString>
#include <QVariant>

namespace web {

class MessageView {
public:
    virtual ~MessageView() = default;
    // All kept header lines (no token), one by number 1-7, or one value by name.
    virtual QString Header(const QVariant& token) const = 0;
    virtual QString Body() const = 0;
    virtual QString Msg() const = 0;
    // The whole file as text; a failure is raised as the calling script's error.
    virtual QVariant FileGetText(const QString& fileName) const = 0;
};

} // namespace web
