// A gateway on a recording transport: conversations are driven by feeding reply lines and
// read back as the bytes sent, the state, the last command and the log, with no socket.
#pragma once

#include "support/GatewayRig.h"
#include "support/QtPrinters.h"
#include "support/RecordingTransport.h"

#include <gtest/gtest.h>

// Puts a gateway at a point of a conversation, as the table tests start from one.
struct GatewayTestAccess {
    static void at(clsInetGateway& gw, gateway::GwState s, gateway::Command last)
    {
        gw.state_ = s;
        gw.LastCommand = last;
    }
    static bool file(clsInetGateway& gw) { return gw.FileReceivedMessage(); }
};

namespace tw::test {

struct ConversationRig {
    RecordingTransport link;
    GatewayRig rig{&link};
    clsInetGateway& gw = *rig.gw;

    ConversationRig() { link.state = 7; }

    void at(gateway::GwState s, gateway::Command last) { GatewayTestAccess::at(gw, s, last); }
    // Feeds one reply (CR LF added) and gives what the gateway sent in answer.
    QByteArray answer(const QByteArray& reply)
    {
        link.take();
        gw.feed(reply + "\r\n");
        return link.take();
    }
    QString lastLog() const { return rig.logs.isEmpty() ? QString() : rig.logs.last(); }

    // One step of a scripted exchange: what the server says, and what must go out in answer.
    struct Step {
        QByteArray reply;
        QByteArray sent;
    };
    void play(const QList<Step>& steps)
    {
        for (const Step& s : steps) {
            SCOPED_TRACE(s.reply.toStdString());
            link.take();
            gw.feed(s.reply);
            EXPECT_EQ(link.take(), s.sent);
        }
    }
    // The POP greeting, USER and PASS answered, up to the STAT command.
    void popLogin()
    {
        at(gateway::GwState::PopStandby, gateway::Command::None);
        play({{"+OK POP3 ready\r\n", "USER robot\r\n"}, {"+OK\r\n", "PASS secret\r\n"}, {"+OK in\r\n", "STAT\r\n"}});
    }
    // A UIDL listing of messages 1 to count, with ids "id-N".
    static QByteArray uidlListing(int count)
    {
        QByteArray listing = "+OK\r\n";
        for (int n = 1; n <= count; ++n)
            listing += QByteArray::number(n) + " id-" + QByteArray::number(n) + "\r\n";
        return listing + ".\r\n";
    }
};

} // namespace tw::test
