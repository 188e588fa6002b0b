// Message boxes on the desktop: QMessageBox titled "Tarnwick".
#pragma once

#include "platform/Messages.h"

class QWidget;

namespace platform {

class QtMessages final : public MessageService {
public:
    // Boxes are centred on parent() when it returns a visible window.
    explicit QtMessages(std::function<QWidget*()> parent = {}) : parent_(std::move(parent)) {}
    MsgAnswer show(const QString& text, MsgButtons buttons, MsgIcon icon, MsgAnswer safe) override;

private:
    std::function<QWidget*()> parent_;
};

} // namespace platform
