#include "app/message_box.h"

#include <fstream>
#include <utility>

namespace telvora::app {
namespace {

MessageHook& Hook() {
    static MessageHook hook;
    return hook;
}

std::string OneLine(const std::string& text) {
    std::string out;
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c == '\\') {
            out += "\\\\";
        } else {
            out += c;
        }
    }
    return out;
}

}  // namespace

const char* MessageIconName(MessageIcon icon) {
    switch (icon) {
        case MessageIcon::None:
            return "none";
        case MessageIcon::Information:
            return "information";
        case MessageIcon::Warning:
            return "warning";
        case MessageIcon::Error:
            return "error";
        case MessageIcon::Question:
            return "question";
    }
    return "?";
}

const char* MessageButtonName(MessageButton button) {
    switch (button) {
        case MessageButton::Ok:
            return "OK";
        case MessageButton::Close:
            return "Close";
        case MessageButton::Cancel:
            return "Cancel";
        case MessageButton::Yes:
            return "Yes";
        case MessageButton::No:
            return "No";
    }
    return "?";
}

MessageButton FirstButton(const std::vector<MessageButton>& buttons) {
    return buttons.empty() ? MessageButton::Ok : buttons.front();
}

std::string MessageLogLine(const MessageRequest& request) {
    std::string names;
    for (MessageButton button : request.buttons) {
        names += (names.empty() ? "" : ",") + std::string(MessageButtonName(button));
    }
    return OneLine(request.caption) + '\t' + MessageIconName(request.icon) + '\t' +
           OneLine(request.text) + '\t' + names + '\n';
}

MessageHook SetMessageHook(MessageHook hook) {
    return std::exchange(Hook(), std::move(hook));
}

const MessageHook& CurrentMessageHook() {
    return Hook();
}

void InstallMessageLog(const std::filesystem::path& file) {
    SetMessageHook([file](const MessageRequest& request) {
        std::ofstream out(file, std::ios::app | std::ios::binary);
        out << MessageLogLine(request);
        return FirstButton(request.buttons);
    });
}

RecordedMessages::RecordedMessages() {
    previous_ = SetMessageHook([this](const MessageRequest& request) {
        requests_.push_back(request);
        return FirstButton(request.buttons);
    });
}

RecordedMessages::~RecordedMessages() {
    SetMessageHook(std::move(previous_));
}

}  // namespace telvora::app
