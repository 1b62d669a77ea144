#pragma once

#include "shell/Page.h"

#include <functional>

namespace orvex {

// Creates the page of one kind. Each editing page registers its own; a kind without one gets
// a placeholder page.
using PageFactory = std::function<CPage*(QWidget* parent)>;
void RegisterPageFactory(PageKind kind, PageFactory factory);
CPage* CreatePage(PageKind kind, QWidget* parent);

} // namespace orvex
