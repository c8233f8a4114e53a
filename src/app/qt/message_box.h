// Every modal box of the program goes through here: the default error box, the "Warning"
// dialog, the style's "Error" dialog and the "Application Error" box.
//
// Tests (and the program, for its own tests, see program.h) set a hook that records each
// request and answers it at once, so nothing blocks. Without a hook a real QMessageBox is
// shown and the call returns when the user closes it.
#pragma once

#include <functional>
#include <string>
#include <vector>

class QWidget;

namespace telvora::app {

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButton { Ok, Close, Cancel, Yes, No };

const char* MessageIconName(MessageIcon icon);
const char* MessageButtonName(MessageButton button);

struct MessageRequest {
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    std::string text;
    std::vector<MessageButton> buttons{MessageButton::Ok};
    // The window that owns the box; nullptr for a box of its own, centred on the screen.
    QWidget* owner = nullptr;
};

// Returns the button that closed the box (the first button for a box closed otherwise).
using MessageHook = std::function<MessageButton(const MessageRequest&)>;

// Replaces the process-wide hook (an empty function restores the real boxes) and returns the
// former one.
MessageHook SetMessageHook(MessageHook hook);

MessageButton ShowMessage(const MessageRequest& request);

// For tests: records every request and answers each with its first button while alive.
class RecordedMessages {
  public:
    RecordedMessages();
    ~RecordedMessages();
    RecordedMessages(const RecordedMessages&) = delete;
    RecordedMessages& operator=(const RecordedMessages&) = delete;

    const std::vector<MessageRequest>& requests() const { return requests_; }
    void clear() { requests_.clear(); }

  private:
    std::vector<MessageRequest> requests_;
    MessageHook previous_;
};

}  // namespace telvora::app
