#include "logo_link_win32.h"

#include <shellapi.h>

#include "wide_text.h"
#include "window_texts.h"

namespace probelyn {

void OpenMakerSite(HWND owner) {
    ::ShellExecuteW(owner, L"open", Wide(texts::kMakerWebSite).c_str(), nullptr, L"c:\\",
                    SW_SHOWNORMAL);
}

}  // namespace probelyn
