// Identifiers shared by the resource script and the code.
#pragma once

#define MOVRIX_ICON_ID 1

#ifdef __cplusplus
namespace movrix {
inline constexpr int kIconResourceId = MOVRIX_ICON_ID;
// The logo is the BITMAP resource named LOGO in resources.rc.
inline constexpr const char* kLogoResourceName = "LOGO";
}  // namespace movrix
#endif
