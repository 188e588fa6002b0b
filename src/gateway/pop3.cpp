// The POP3 conversation. Until mailbox reading is built, a POP server that answers is told
// goodbye at once, so a cycle with a POP server set still ends cleanly in "STANDBY".
#include "gateway/clsInetGateway.h"

void clsInetGateway::PopConverse(const QString& reply)
{
    if (state_ == QLatin1String("POP QUIT"))
        return;
    if (!reply.startsWith(QLatin1String("+OK")))
        LastCommand = QStringLiteral("POP ERROR QUIT");
    setState(QStringLiteral("POP QUIT"));
    SocketSend(QStringLiteral("QUIT\r\n"));
}
