// Handshakes over a real loopback socket against a server that plays a transcript: one the
// server never answers and one it breaks off. The conversation rules around them are the
// table tests beside this file; handshakes with real certificates are the end-to-end tests.
#include "support/GatewayRig.h"
#include "support/QtPrinters.h"

#include <gtest/gtest.h>

using config::Security;
using tw::test::FakeServer;
using tw::test::GatewayRig;
using tw::test::waitUntil;

TEST(SecureSocket, AHandshakeThatNeverCompletesIsGivenUpAtTheSilenceBound)
{
    GatewayRig rig;
    FakeServer server;
    rig.gw->SMTPPort = server.port();
    rig.gw->SMTPSecurity = Security::TLS;
    const QString out = config::Running().PathMsgOut + "m1.txt";
    rig.write(out, "To: a@x.test\r\n\r\nbody\r\n");
    server.silent();
    rig.gw->ProcessStart();
    ASSERT_TRUE(waitUntil([&] { return server.clientConnected(); }));
    rig.clock->advance(49 * 1000);
    EXPECT_FALSE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); }, 200));
    rig.clock->advance(1000);
    ASSERT_TRUE(waitUntil([&] { return rig.gw->State() == QLatin1String("STANDBY"); })) << rig.logs.join('\n').toStdString();
    EXPECT_TRUE(rig.logged("ERROR SMTP: TLS: no handshake from the server within 50 seconds")) << rig.logs.join('\n').toStdString();
    EXPECT_TRUE(QFile::exists(out));
}

TEST(SecureSocket, AServerThatClosesDuringTheHandshakeGetsNoLogin)
{
    GatewayRig rig;
    FakeServer server;
    rig.gw->PopServer = "127.0.0.1";
    rig.gw->POPPort = server.port();
    rig.gw->POPSecurity = Security::TLS;
    rig.gw->Actions = "POP";
    server.pause(300).close();
    ASSERT_TRUE(rig.runCycle()) << rig.logs.join('\n').toStdString();
    EXPECT_TRUE(rig.logged("ERROR POP: TLS: the server closed the connection during the handshake"))
        << rig.logs.join('\n').toStdString();
    EXPECT_FALSE(server.received().contains("USER"));
}
