#pragma once

#include "shell/Page.h"
#include "shell/PageContext.h"

#include <functional>

namespace orvex {

// Creates the page of one kind. Each editing page registers its own; a kind without one gets
// none (null).
using PageFactory = std::function<CPage*(const PageContext& context, QWidget* parent)>;
void RegisterPageFactory(PageKind kind, PageFactory factory);
CPage* CreatePage(PageKind kind, const PageContext& context, QWidget* parent);

} // namespace orvex
