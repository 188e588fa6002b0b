// The web object's view of the received message in hand: the gateway's own members read it,
// so both script objects always see the same message.
#pragma once

#include "gateway/clsInetGateway.h"
#include "platform/HostError.h"
#include "web/MessageView.h"

#include <functional>

class InHandView final : public web::MessageView {
public:
    // gateway: the current gateway object, which a Reset or a repair may replace.
    explicit InHandView(std::function<clsInetGateway*()> gateway) : gateway_(std::move(gateway)) {}
    QString Header(const QVariant& token) const override { return g() ? g()->Header(token) : QString(); }
    QString Body() const override { return g() ? g()->Body() : QString(); }
    QString Msg() const override { return g() ? g()->Msg() : QString(); }
    QVariant FileGetText(const QString& fileName) const override
    {
        if (g())
            return g()->FileGetText(fileName);
        platform::RaiseHostError(53, QStringLiteral("File not found"));
        return QVariant();
    }

private:
    clsInetGateway* g() const { return gateway_(); }
    std::function<clsInetGateway*()> gateway_;
};
