#include "shell/PageFactory.h"

#include "shell/PlaceholderPage.h"

#include <array>

namespace orvex {

namespace {
std::array<PageFactory, kPageKindCount>& Factories() {
    static std::array<PageFactory, kPageKindCount> factories;
    return factories;
}
} // namespace

void RegisterPageFactory(PageKind kind, PageFactory factory) {
    Factories()[static_cast<size_t>(kind)] = std::move(factory);
}

CPage* CreatePage(PageKind kind, QWidget* parent) {
    if (const PageFactory& factory = Factories()[static_cast<size_t>(kind)])
        return factory(parent);
    return new CPlaceholderPage(kind, parent);
}

} // namespace orvex
