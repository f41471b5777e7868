#pragma once

#include <string>

// The menu item texts of the command ids in CommandIds.h, as the menus, the context menu and
// the command states show them; "\t" comes before the key text.
namespace MenuTexts {

// The text of a command's menu item; null for a command that no menu shows.
const char* Find(unsigned id);
// The same text without its key part, as the context menu shows the zoom items.
std::string WithoutKeys(unsigned id);

// The document menu names the overview toggle with another mnemonic.
inline constexpr const char* kOverviewInDocumentMenu = "Over&view";

}  // namespace MenuTexts
