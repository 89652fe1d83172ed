"""The desktops the black-box suite runs under: one row each, the program's
environment as that desktop's session gives it, the Qt plugins it must then
have loaded, and the packages that bring them (all in the test group of
scripts/debian-packages.txt).

Each row runs the whole suite.
"""

import glob
import re
import subprocess
from dataclasses import dataclass, field


@dataclass
class Desktop:
    name: str
    what: str
    display: str                  # "x11": Xvfb, no window manager; "wayland": sway, headless
    env: dict = field(default_factory=dict)
    theme_plugin: str = None      # the platform theme plugin the program must load; None: Qt's own theme
    packages: list = field(default_factory=list)
    page_matches_screen: bool = True  # the window is in Qt's light look and font, as on paper


# Plasma 6's own Qt 6 theme. Debian 12's plasma-integration is Plasma 5's, for
# Qt 5 only: there Qt takes its built-in KDE theme, which reads the same
# kdeglobals settings.
PLASMA_THEME = "KDEPlasmaPlatformTheme6"


def plasma_theme_installed():
    return bool(glob.glob(f"/usr/lib/*/qt6/plugins/platformthemes/{PLASMA_THEME}.so"))


def _kde():
    plasma6 = plasma_theme_installed()
    return Desktop(
        "kde", "KDE Plasma: " + ("Plasma's own Qt 6 theme" if plasma6 else
                                 "Qt's built-in KDE theme (no Qt 6 Plasma theme on this release)"),
        "x11", {"XDG_CURRENT_DESKTOP": "KDE", "XDG_SESSION_DESKTOP": "KDE", "KDE_FULL_SESSION": "true",
                # Qt's built-in KDE theme acts only with a Plasma session's version set.
                "KDE_SESSION_VERSION": "6" if plasma6 else "5", "XDG_SESSION_TYPE": "x11"},
        PLASMA_THEME if plasma6 else None,
        # Wanted where the release has Plasma 6: without it there, the row would
        # quietly test Qt's own KDE theme instead.
        ["plasma-integration (>= 6)"], page_matches_screen=False)


# GNOME and Xfce: what Debian's libqt6gui6 recommends, qt6-gtk-platformtheme,
# makes Qt take its GTK 3 theme on both (and on Cinnamon and MATE).
GTK_THEME_PACKAGES = ["qt6-gtk-platformtheme"]

# The paper table's screen comparison holds where the window is on screen as it
# is on paper: in Qt's own light look and 9 pt font. Under the GTK theme it is in
# GTK's 10 pt, whose letters hinted on the screen stand up to a pixel off the
# page's (RMSE 0.0188 against the 0.015 allowed, no pixel plainly different);
# under the KDE themes in KDE's colours.


def desktops():
    return [
        Desktop("none", "no desktop named (Qt's generic theme)", "x11"),
        Desktop("gnome", "GNOME: Qt's GTK 3 theme", "x11",
                {"XDG_CURRENT_DESKTOP": "GNOME", "XDG_SESSION_DESKTOP": "gnome",
                 "DESKTOP_SESSION": "gnome", "XDG_SESSION_TYPE": "x11"},
                "libqgtk3", GTK_THEME_PACKAGES, page_matches_screen=False),
        Desktop("xfce", "Xfce: Qt's GTK 3 theme", "x11",
                {"XDG_CURRENT_DESKTOP": "XFCE", "XDG_SESSION_DESKTOP": "xfce",
                 "DESKTOP_SESSION": "xfce", "XDG_SESSION_TYPE": "x11"},
                "libqgtk3", GTK_THEME_PACKAGES, page_matches_screen=False),
        _kde(),
        Desktop("wayland", "a Wayland session: Qt's Wayland platform under sway, Xwayland beside it",
                "wayland",
                {"XDG_CURRENT_DESKTOP": "sway", "XDG_SESSION_TYPE": "wayland"},
                None, ["qt6-wayland", "sway", "xwayland", "x11-xserver-utils", "grim"]),
    ]


def desktop(name):
    for row in desktops():
        if row.name == name:
            return row
    raise KeyError(name)


def names():
    return [row.name for row in desktops()]


def _installed_version(package):
    result = subprocess.run(["dpkg-query", "-W", "-f", "${db:Status-Status} ${Version}", package],
                            capture_output=True, text=True)
    status, _, version = result.stdout.partition(" ")
    return version if result.returncode == 0 and status == "installed" else None


def _candidate_version(package):
    result = subprocess.run(["apt-cache", "policy", package], capture_output=True, text=True)
    found = re.search(r"Candidate: (\S+)", result.stdout)
    return found.group(1) if found and found.group(1) != "(none)" else None


def _at_least(version, minimum):
    return subprocess.run(["dpkg", "--compare-versions", version, "ge", minimum]).returncode == 0


def missing_packages(row):
    """The row's packages that are not installed. A package given with a
    minimum version, as scripts/debian-packages.txt gives it, is wanted only
    where the release has that version."""
    missing = []
    for wanted in row.packages:
        found = re.fullmatch(r"(\S+)(?:\s+\(>= (\S+)\))?", wanted)
        name, minimum = found.groups()
        if _installed_version(name) is not None:
            continue
        candidate = _candidate_version(name) if minimum else None
        if minimum and (candidate is None or not _at_least(candidate, minimum)):
            continue
        missing.append(name)
    return missing
