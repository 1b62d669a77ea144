#include "shell/PageFactory.h"

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

CPage* CreatePage(PageKind kind, const PageContext& context, QWidget* parent) {
    if (const PageFactory& factory = Factories()[static_cast<size_t>(kind)])
        return factory(context, parent);
    return nullptr;
}

} // namespace orvex
