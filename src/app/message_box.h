// Every modal box of the program goes through ShowMessage, in every shell: the default error
// box, the "Warning" dialog, the style's "Error" dialog and the "Application Error" box. Each
// shell's message_box.cpp defines it: the hook's answer when a hook is set, else the
// platform's box (qt/: QMessageBox, win32/: MessageBoxW), which returns when the user closes
// it.
//
// Tests set a hook that records each request and answers it at once, so nothing blocks; the
// program does so for its own tests, which run the real executable as a child process, when
// these environment variables are set (nothing else reads them):
//   TELVORA_TEST_MESSAGE_LOG=<file>  every modal box is appended to <file> as one line
//                                    (MessageLogLine) and answered with its first button;
//   TELVORA_TEST_CLOSE_AFTER_SHOW=1  the window is closed as soon as it has been shown, as the
//                                    user would with its close button.
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace telvora::app {

inline constexpr const char* kTestMessageLogVariable = "TELVORA_TEST_MESSAGE_LOG";
inline constexpr const char* kTestCloseAfterShowVariable = "TELVORA_TEST_CLOSE_AFTER_SHOW";

enum class MessageIcon { None, Information, Warning, Error, Question };
enum class MessageButton { Ok, Close, Cancel, Yes, No };

const char* MessageIconName(MessageIcon icon);        // "warning"
const char* MessageButtonName(MessageButton button);  // "OK"

struct MessageRequest {
    std::string caption;
    MessageIcon icon = MessageIcon::None;
    std::string text;
    std::vector<MessageButton> buttons{MessageButton::Ok};
    // The shell's window (QWidget*, HWND) that owns the box and takes no input until it is
    // closed; null for a box of its own, centred on the screen, that all the program's windows
    // wait for.
    void* owner = nullptr;
};

// The button a box closed otherwise answers with: its first one (OK for a box without any).
MessageButton FirstButton(const std::vector<MessageButton>& buttons);

// Returns the button that closed the box.
using MessageHook = std::function<MessageButton(const MessageRequest&)>;

// Replaces the process-wide hook (an empty function restores the real boxes) and returns the
// former one.
MessageHook SetMessageHook(MessageHook hook);
// The hook in use (empty: the real boxes).
const MessageHook& CurrentMessageHook();

// Defined by each shell (see above).
MessageButton ShowMessage(const MessageRequest& request);

// "caption<TAB>icon<TAB>text<TAB>buttons" with a line feed at its end; line breaks, tabs and
// backslashes of the texts are written \n, \t and \\, the buttons separated by ",".
std::string MessageLogLine(const MessageRequest& request);

// The test hook of TELVORA_TEST_MESSAGE_LOG: every box appended to `file` and answered at once.
void InstallMessageLog(const std::filesystem::path& file);

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
