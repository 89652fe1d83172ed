"""The papers a front desk's default printer may have, as rows of the print
scenarios of both suites: each row's queue gets a PPD written here, naming
that paper its default, and the row says how large the form must print on it.
"""

import os
import re
import subprocess
from dataclasses import dataclass

POINTS_PER_MM = 72 / 25.4


@dataclass(frozen=True)
class Paper:
    case: str          # the row's name
    keyword: str       # the PPD's name of the paper, which the job must ask for
    size: tuple        # width, height in points
    margins: tuple     # left, bottom, right, top unprintable, in points
    also: tuple = ()   # the other papers the printer offers: a sheet printer offers both sheets
    # What of the printable area the form fills, shrunk to fit: None (it prints at its size on
    # screen), "width" or "height". The core's own table of papers checks the scale itself.
    fills: str = None

    def printed_size(self, form_size, dpi=96):
        """The form's size on this paper, in pixels at dpi, given its size on a 96 dpi screen."""
        width, height = form_size
        left, bottom, right, top = self.printable
        if self.fills == "width":
            scale = (right - left) / 72 * 96 / width
        elif self.fills == "height":
            scale = (top - bottom) / 72 * 96 / height
        else:
            scale = 1
        return width * scale * dpi / 96, height * scale * dpi / 96

    @property
    def printable(self):
        """The PPD's ImageableArea: left, bottom, right, top in points."""
        left, bottom, right, top = self.margins
        return left, bottom, self.size[0] - right, self.size[1] - top


def _mm(*lengths):
    return tuple(round(length * POINTS_PER_MM, 2) for length in lengths)


LETTER = Paper("Letter", "Letter", (612, 792), (18, 36, 18, 36), also=("A4",))
A4 = Paper("A4", "A4", (595, 842), (18, 36, 18, 36), also=("Letter",))
# A receipt roll, cut at the end of the job; the printer offers nothing else.
ROLL_80 = Paper("80 mm roll", "RP80x297", _mm(80, 297), _mm(4, 0, 4, 0), fills="width")
ROLL_58 = Paper("58 mm roll", "RP58x297", _mm(58, 297), _mm(5, 0, 5, 0), fills="width")
# Labels fed across: wider than tall, and nothing else.
LABEL = Paper("landscape label", "Label100x50", _mm(100, 50), _mm(3, 3, 3, 3), fills="height")

PAPERS = [LETTER, A4, ROLL_80, ROLL_58, LABEL]
# A printer whose driver reports a printable area of no width.
NO_PRINTABLE_AREA = Paper("no printable area", "Letter", (612, 792), (306, 36, 306, 36))
BY_KEYWORD = {paper.keyword: paper for paper in PAPERS}


def write_ppd(paper, path):
    """A PPD for a PDF printer (as cups-filters' generic one) whose default
    paper is `paper`, offering `paper.also` besides."""
    offered = [paper] + [BY_KEYWORD[keyword] for keyword in paper.also]

    def entries(keyword_line, value):
        return "".join(f'*{keyword_line} {p.keyword}/{p.case}: "{value(p)}"\n' for p in offered)

    def numbers(values):
        return " ".join(f"{v:g}" for v in values)

    text = f"""*PPD-Adobe: "4.3"
*FormatVersion: "4.3"
*FileVersion: "1.0"
*LanguageVersion: English
*LanguageEncoding: ISOLatin1
*PCFileName: "TARNWICK.PPD"
*Manufacturer: "Tarnwick tests"
*Product: "(Test PDF printer)"
*ModelName: "Tarnwick test printer {paper.case}"
*ShortNickName: "Tarnwick test {paper.case}"
*NickName: "Tarnwick test printer {paper.case}"
*PSVersion: "(3010.000) 0"
*LanguageLevel: "3"
*ColorDevice: True
*DefaultColorSpace: RGB
*FileSystem: False
*LandscapeOrientation: Plus90
*TTRasterizer: Type42
*cupsVersion: 2.2
*cupsManualCopies: True
*cupsFilter: "application/vnd.cups-pdf 0 -"
*OpenUI *PageSize/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageSize
*DefaultPageSize: {paper.keyword}
{entries("PageSize", lambda p: f"<</PageSize[{numbers(p.size)}]>>setpagedevice")}*CloseUI: *PageSize
*OpenUI *PageRegion/Media Size: PickOne
*OrderDependency: 10 AnySetup *PageRegion
*DefaultPageRegion: {paper.keyword}
{entries("PageRegion", lambda p: f"<</PageSize[{numbers(p.size)}]>>setpagedevice")}*CloseUI: *PageRegion
*DefaultImageableArea: {paper.keyword}
{entries("ImageableArea", lambda p: numbers(p.printable))}*DefaultPaperDimension: {paper.keyword}
{entries("PaperDimension", lambda p: numbers(p.size))}*DefaultFont: Courier
*Font Courier: Standard "(002.004S)" Standard ROM
"""
    with open(path, "w", encoding="latin-1") as ppd:
        ppd.write(text)


def logged_media(cups_dir):
    """The paper each job on the private scheduler asked for, as its page log
    says, job by job."""
    path = os.path.join(cups_dir, "log", "page_log")
    if not os.path.exists(path):
        return []
    with open(path, errors="replace") as log:
        return [line.split()[-1] for line in log if line.strip()]


def page_size(pdf):
    """The PDF's first page: width, height in points."""
    info = subprocess.run(["pdfinfo", pdf], capture_output=True, text=True, timeout=60, check=True).stdout
    found = re.search(r"Page size:\s+([0-9.]+) x ([0-9.]+) pts", info)
    return float(found.group(1)), float(found.group(2))


def words(pdf):
    """Every word on the page with its box, in points from the page's top left."""
    html = subprocess.run(["pdftotext", "-bbox", pdf, "-"], capture_output=True, text=True, timeout=60,
                          check=True).stdout
    return [(m.group(5), *map(float, m.group(1, 2, 3, 4))) for m in re.finditer(
        r'<word xMin="([0-9.]+)" yMin="([0-9.]+)" xMax="([0-9.]+)" yMax="([0-9.]+)">([^<]*)</word>', html)]
