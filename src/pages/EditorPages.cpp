#include "pages/EditorPages.h"

#include "shell/OrvexApp.h"
#include "shell/PageFactory.h"

namespace orvex {

void RegisterEditorPages() {
    // Each page and tool dialog adds its line here as it is built; a kind or template without one
    // keeps the shell's placeholder.
}

} // namespace orvex
