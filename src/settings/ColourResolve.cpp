#include "ColourResolve.h"

#include <QGuiApplication>
#include <QPalette>

#include <optional>

namespace
{

struct SystemRole {
    QPalette::ColorGroup group;
    QPalette::ColorRole role;
};

// The palette role that best carries the meaning of each Windows system-colour index.
std::optional<SystemRole> systemRole(int index)
{
    constexpr auto Active = QPalette::Active;
    constexpr auto Inactive = QPalette::Inactive;
    constexpr auto Disabled = QPalette::Disabled;
    switch (index) {
    case 0: // scroll bar track
        return SystemRole{Active, QPalette::Midlight};
    case 1: // desktop background
        return SystemRole{Active, QPalette::Dark};
    case 2: // active caption
        return SystemRole{Active, QPalette::Highlight};
    case 3: // inactive caption
        return SystemRole{Inactive, QPalette::Highlight};
    case 4: // menu
        return SystemRole{Active, QPalette::Window};
    case 5: // window background
        return SystemRole{Active, QPalette::Base};
    case 6: // window frame
        return SystemRole{Active, QPalette::Shadow};
    case 7: // menu text
        return SystemRole{Active, QPalette::WindowText};
    case 8: // window text
        return SystemRole{Active, QPalette::Text};
    case 9: // caption text
        return SystemRole{Active, QPalette::HighlightedText};
    case 10: // active border
    case 11: // inactive border
        return SystemRole{Active, QPalette::Window};
    case 12: // application workspace
        return SystemRole{Active, QPalette::Dark};
    case 13: // selection
        return SystemRole{Active, QPalette::Highlight};
    case 14: // selected text
        return SystemRole{Active, QPalette::HighlightedText};
    case 15: // button face
        return SystemRole{Active, QPalette::Button};
    case 16: // button shadow
        return SystemRole{Active, QPalette::Dark};
    case 17: // disabled text
        return SystemRole{Disabled, QPalette::Text};
    case 18: // button text
        return SystemRole{Active, QPalette::ButtonText};
    case 19: // inactive caption text
        return SystemRole{Inactive, QPalette::HighlightedText};
    case 20: // button highlight
        return SystemRole{Active, QPalette::Light};
    case 21: // dark 3D shadow
        return SystemRole{Active, QPalette::Shadow};
    case 22: // light 3D edge
        return SystemRole{Active, QPalette::Midlight};
    case 23: // tooltip text
        return SystemRole{Active, QPalette::ToolTipText};
    case 24: // tooltip background
        return SystemRole{Active, QPalette::ToolTipBase};
    case 26: // hot-tracked item, hyperlinks
        return SystemRole{Active, QPalette::Link};
    case 27: // active caption gradient
        return SystemRole{Active, QPalette::Highlight};
    case 28: // inactive caption gradient
        return SystemRole{Inactive, QPalette::Highlight};
    case 29: // highlighted menu item
        return SystemRole{Active, QPalette::Highlight};
    case 30: // menu bar
        return SystemRole{Active, QPalette::Window};
    default:
        return std::nullopt;
    }
}

} // namespace

QColor resolveColour(TColor colour, const QPalette &palette)
{
    using namespace Colours;
    if (colour == clNone)
        return QColor(Qt::transparent);
    if (colour == clDefault)
        return palette.color(QPalette::Active, QPalette::Window);
    if (isSystemColour(colour)) {
        const std::optional<SystemRole> role = systemRole(systemColourIndex(colour));
        if (!role)
            return QColor(Qt::black);
        return palette.color(role->group, role->role);
    }
    return QColor(redOf(colour), greenOf(colour), blueOf(colour));
}

QColor resolveColour(TColor colour)
{
    return resolveColour(colour, QGuiApplication::palette());
}
