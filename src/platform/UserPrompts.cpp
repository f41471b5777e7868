#include "platform/UserPrompts.h"

UserPrompts::Answer UserPrompts::Message(const std::string& text, Icon icon, unsigned helpId) {
    Box box;
    box.text = text;
    box.caption = kAppCaption;
    box.icon = icon;
    box.helpId = helpId;
    return ShowMessage(box);
}
