"""Reads one hostile report with each reader by the README's recipe and prints
what each got right. Run by scripts/readers, which installs the readers and
builds the programs first."""

import argparse
import csv
import io
import json
import os
import re
import shutil
import sqlite3
import subprocess
import sys
import zipfile
import xml.etree.ElementTree as ElementTree
from datetime import datetime, timedelta, timezone

DATE_FORMAT = "%m/%d/%Y %I:%M:%S %p"
HEADINGS = ["HOSTNAME", "DATE", "URL", "USERNAME", "ACTION",
            "CATEGORY 1", "CATEGORY 2", "CATEGORY 3", "CATEGORY 4", "CATEGORY 5"]
LIBREOFFICE_RECIPE = "CSV:44,34,65535,1,2/3,1033,true,true,false,false,false,false,false"
LIBREOFFICE_DEFAULTS = "CSV:44,34,65535,1"

# URLs a log can hold that trip readers up; each is a visit of its own.
HOSTILE_URLS = [
    "https://plain.example/a?b=1&c=2",
    "https://comma.example/a,b,,c",
    'https://quote.example/say "hi" ""twice""',
    "https://cr.example/a\rb",
    "https://lf.example/a\nb",
    "https://crlf.example/a\r\nb",
    "https://tab.example/a\tb\t",
    "https://cjk.example/\u65e5\u672c\u8a9e/\u4e2d\u6587",
    "https://arabic.example/\u0645\u0631\u062d\u0628\u0627/\u0628\u0643",
    "https://emoji.example/\U0001F600\U0001F389\U0001F44D\U0001F3FD",
    "https://mixed.example/\u65e5,\"\r\n\t\U0001F600\u0645",
    "https://size8k.example/" + "a1" * 4096,
    "https://size40k.example/" + "b2\u00e9" * 13654,
    "=1+1",
    '=HYPERLINK("https://evil.example/","click")',
    "+1+1",
    "-1+1",
    "@SUM(1,1)",
    "=cmd|' /C calc'!A0",
    " https://leading-space.example/ ",
]
FORMULA_STARTS = ("=", "+", "-", "@")


def run(command, **options):
    return subprocess.run(command, check=True, stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                          **options)


def first_line(command):
    try:
        completed = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   text=True, check=False)
    except OSError:
        return "missing"
    lines = completed.stdout.strip().splitlines()
    return lines[0] if lines else "?"


# --- the report -----------------------------------------------------------

class Visit:
    def __init__(self, url, moment):
        self.url = url
        self.moment = moment  # UTC, whole seconds; the report is made with TZ=UTC


def make_report(bin_dir, work):
    """Fills a datastore with the hostile visits and exports it: the visits
    in report order and the report's path."""
    start = datetime.now(timezone.utc).replace(hour=0, minute=0, second=0, microsecond=0) - \
        timedelta(days=20)
    visits = [Visit(url, start + timedelta(hours=17 * i, minutes=i, seconds=3 * i))
              for i, url in enumerate(HOSTILE_URLS)]
    datastore = os.path.join(work, "datastore.db")
    lines = "".join(json.dumps({"user": "S-1-22-1-0", "url": v.url,
                                "time": v.moment.strftime("%Y-%m-%dT%H:%M:%SZ"),
                                "allowed": True, "categories": [42]}, ensure_ascii=False) + "\n"
                    for v in visits)
    run([os.path.join(bin_dir, "kelodb"), "import", "--db", datastore, "-"],
        input=lines.encode("utf-8"))
    report = os.path.join(work, "report.csv")
    environment = dict(os.environ, KELO_DATASTORE=datastore, TZ="UTC")
    run([os.path.join(bin_dir, "ostrelin"), "-a", "-o:" + report], env=environment)
    return visits, report


# --- what a reader gives back ---------------------------------------------

class Cell:
    """A URL or DATE as a reader holds it: its text, whether the reader made a
    formula of it, and the date where the reader has a date type."""

    def __init__(self, text, formula=False, moment=None):
        self.text = text
        self.formula = formula
        self.moment = moment


def text_rows(rows):
    """Rows of plain text fields: URL and DATE cells, the date parsed from
    its text as the recipe does."""
    result = []
    for row in rows:
        url = row[2] if len(row) > 2 else None
        date = row[1] if len(row) > 1 else None
        result.append((Cell(url), Cell(date, moment=parse_date(date))))
    return result


def parse_date(text):
    try:
        return datetime.strptime(text, DATE_FORMAT).replace(tzinfo=timezone.utc)
    except (TypeError, ValueError):
        return None


# --- the readers, each by its README recipe -------------------------------

def python_csv(report, work, tools):
    with open(report, encoding="utf-16", newline="") as file:
        rows = list(csv.reader(file))
    return sys.version.split()[0], text_rows(rows[1:])


def iconv_then_csv(report, work, tools):
    converted = utf8_copy(report, work)
    with open(converted, encoding="utf-8", newline="") as file:
        rows = list(csv.reader(file))
    return first_line(["iconv", "--version"]).split()[-1], text_rows(rows[1:])


def utf8_copy(report, work):
    converted = os.path.join(work, "report-utf8.csv")
    if not os.path.exists(converted):
        with open(converted + ".part", "wb") as out:
            subprocess.run(["iconv", "-f", "UTF-16", "-t", "UTF-8", report], stdout=out,
                           check=True)
        os.rename(converted + ".part", converted)
    return converted


def pandas_recipe(report, work, tools):
    import pandas
    frame = pandas.read_csv(report, encoding="utf-16", index_col=False, dtype=str,
                            keep_default_na=False)
    dates = pandas.to_datetime(frame["DATE"], format=DATE_FORMAT)
    rows = []
    for url, text, moment in zip(frame["URL"], frame["DATE"], dates):
        rows.append((Cell(url), Cell(text, moment=moment.to_pydatetime().replace(
            tzinfo=timezone.utc))))
    return pandas.__version__, rows


def pandas_plain(report, work, tools):
    import pandas
    frame = pandas.read_csv(report, encoding="utf-16")
    rows = [(Cell(url if isinstance(url, str) else None), Cell(str(text)))
            for url, text in zip(frame["URL"], frame["DATE"])]
    return pandas.__version__, rows


def sqlite3_import(report, work, tools):
    converted = utf8_copy(report, work)
    database = os.path.join(work, "sqlite3-import.db")
    run(["sqlite3", database, ".import --csv " + converted + " visits"])
    with sqlite3.connect(database) as connection:
        rows = connection.execute('SELECT "DATE", "URL" FROM visits ORDER BY rowid').fetchall()
    return first_line(["sqlite3", "--version"]).split()[0], \
        [(Cell(url), Cell(date, moment=parse_date(date))) for date, url in rows]


def miller(report, work, tools):
    converted = utf8_copy(report, work)
    output = run(["mlr", "--icsv", "--allow-ragged-csv-input", "--ojson", "cat",
                  converted]).stdout
    records = json.loads(output.decode("utf-8"))
    rows = []
    for record in records:
        url = record.get("URL")
        date = record.get("DATE")
        rows.append((Cell(str(url) if url is not None else None),
                     Cell(str(date), moment=parse_date(str(date)))))
    return first_line(["mlr", "--version"]).split()[-1], rows


def csvkit(report, work, tools):
    output = run(["csvcut", "-e", "utf-16", "-c", "1-10", report]).stdout
    rows = list(csv.reader(io.StringIO(output.decode("utf-8"), newline="")))
    return first_line(["csvcut", "--version"]).split()[-1], text_rows(rows[1:])


DUCKDB_SCRIPT = r"""
const { DuckDBInstance, version } = require('@duckdb/node-api');
(async () => {
  const db = await DuckDBInstance.create(':memory:');
  const c = await db.connect();
  const r = await c.runAndReadAll(
    "SELECT \"DATE\", \"URL\", strptime(\"DATE\", '%m/%d/%Y %I:%M:%S %p')::VARCHAR " +
    "FROM read_csv(?, header = true, null_padding = true, parallel = false, " +
    "all_varchar = true" + (process.argv[3] || "") + ")", [process.argv[2]]);
  const v = await c.runAndReadAll('SELECT version()');
  console.log(JSON.stringify({version: v.getRows()[0][0], rows: r.getRows()}));
})().catch(e => { console.error(String(e)); process.exit(1); });
"""


def duckdb(report, work, tools, own_utf16=False):
    if not tools.duckdb:
        raise RuntimeError("not installed")
    converted = report if own_utf16 else utf8_copy(report, work)
    script = os.path.join(work, "duckdb-read.js")
    with open(script, "w") as file:
        file.write(DUCKDB_SCRIPT)
    environment = dict(os.environ, NODE_PATH=tools.duckdb)
    extra = [", encoding = 'utf-16'"] if own_utf16 else []
    answer = json.loads(run(["node", script, converted] + extra, env=environment).stdout)
    rows = []
    for date, url, parsed in answer["rows"]:
        moment = datetime.fromisoformat(parsed).replace(tzinfo=timezone.utc) if parsed else None
        rows.append((Cell(url), Cell(date, moment=moment)))
    return answer["version"].lstrip("v"), rows


# Spreadsheets write what they read to OpenDocument; its cells tell text,
# formulas and dates apart.
TABLE = "{urn:oasis:names:tc:opendocument:xmlns:table:1.0}"
TEXT = "{urn:oasis:names:tc:opendocument:xmlns:text:1.0}"
OFFICE = "{urn:oasis:names:tc:opendocument:xmlns:office:1.0}"


def paragraph_text(element):
    parts = [element.text or ""]
    for child in element:
        tag = child.tag[len(TEXT):] if child.tag.startswith(TEXT) else ""
        if tag == "s":
            parts.append(" " * int(child.get(TEXT + "c", "1")))
        elif tag == "tab":
            parts.append("\t")
        elif tag == "line-break":
            parts.append("\n")
        else:
            parts.append(paragraph_text(child))
        parts.append(child.tail or "")
    return "".join(parts)


def ods_cell(element):
    text = "\n".join(paragraph_text(p) for p in element.findall(TEXT + "p"))
    formula = element.get(TABLE + "formula") is not None or \
        element.get(OFFICE + "value-type") not in (None, "string")
    moment = None
    if element.get(OFFICE + "value-type") == "date":
        formula = False
        moment = datetime.fromisoformat(element.get(OFFICE + "date-value")).replace(
            tzinfo=timezone.utc)
    return Cell(text, formula, moment)


def ods_rows(path):
    root = ElementTree.fromstring(zipfile.ZipFile(path).read("content.xml"))
    table = next(root.iter(TABLE + "table"))
    rows = []
    for row in table.iter(TABLE + "table-row"):
        cells = []
        for element in row:
            repeat = int(element.get(TABLE + "number-columns-repeated", "1"))
            cells.extend([ods_cell(element)] * min(repeat, 16))
        if all(cell.text == "" for cell in cells):
            continue
        rows.append(cells)
    return [(row[2] if len(row) > 2 else Cell(None), row[1] if len(row) > 1 else Cell(None))
            for row in rows[1:]]


def libreoffice(options, locale="C.UTF-8"):
    def read(report, work, tools):
        out = os.path.join(work, "libreoffice-%d" % len(os.listdir(work)))
        os.makedirs(out)
        # A profile of its own for each locale: the profile keeps the first.
        environment = dict(os.environ, HOME=os.path.join(work, "libreoffice-home-" + locale),
                           LANG=locale, LC_ALL=locale)
        run(["soffice", "--headless", "--norestore", "--infilter=" + options, "--convert-to",
             "ods", "--outdir", out, report], env=environment)
        version = first_line(["soffice", "--version"]).split()[1]
        return version, ods_rows(os.path.join(out, "report.ods"))
    return read


def gnumeric(report, work, tools):
    out = os.path.join(work, "gnumeric.ods")
    run(["ssconvert", report, out])
    version = re.sub(r"[^0-9.]", "", first_line(["ssconvert", "--version"]).split()[-1])
    return version, ods_rows(out)


READERS = [
    ("Python csv", "recipe", python_csv),
    ("iconv, then Python csv", "recipe", iconv_then_csv),
    ("pandas", "recipe", pandas_recipe),
    ("pandas", "read_csv(encoding='utf-16') alone", pandas_plain),
    ("sqlite3 .import", "recipe", sqlite3_import),
    ("Miller", "recipe", miller),
    ("csvkit csvcut", "recipe", csvkit),
    ("DuckDB (npm)", "recipe", duckdb),
    ("DuckDB (npm)", "its own encoding = 'utf-16', no iconv",
     lambda report, work, tools: duckdb(report, work, tools, own_utf16=True)),
    ("LibreOffice headless", "recipe", libreoffice(LIBREOFFICE_RECIPE)),
    ("LibreOffice headless", "recipe, en_GB locale", libreoffice(LIBREOFFICE_RECIPE, "en_GB.UTF-8")),
    ("LibreOffice headless", LIBREOFFICE_DEFAULTS + " alone", libreoffice(LIBREOFFICE_DEFAULTS)),
    ("LibreOffice headless", LIBREOFFICE_DEFAULTS + " alone, en_GB locale",
     libreoffice(LIBREOFFICE_DEFAULTS, "en_GB.UTF-8")),
    ("Gnumeric ssconvert", "no recipe", gnumeric),
]


# --- scoring --------------------------------------------------------------

def label(url):
    """A short name of a hostile URL: its host, or its start."""
    found = re.match(r"https://([^/]+)/", url)
    return found.group(1).split(".")[0] if found else url[:12]


def missed(visits, rows):
    read = {}
    for url, _ in rows:
        if url.text is not None and not url.formula:
            read[url.text] = read.get(url.text, 0) + 1
    names = []
    for visit in visits:
        if read.get(visit.url, 0) > 0:
            read[visit.url] -= 1
        else:
            names.append(label(visit.url))
    return names


def score(visits, rows):
    """rows read, URLs exact, formulas evaluated, dates right."""
    exact = 0
    wanted = {}
    for visit in visits:
        wanted[visit.url] = wanted.get(visit.url, 0) + 1
    for url, _ in rows:
        if url.text is not None and not url.formula and wanted.get(url.text, 0) > 0:
            wanted[url.text] -= 1
            exact += 1
    formulas = sum(1 for url, _ in rows if url.formula)
    dates = sum(1 for visit, (_, date) in zip(visits, rows)
                if date.moment is not None and date.moment == visit.moment)
    return len(rows), exact, formulas, dates


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--duckdb", default="", help="node_modules holding @duckdb/node-api")
    parser.add_argument("--details", action="store_true",
                        help="after the table, the URLs each reader did not read exactly")
    tools = parser.parse_args()
    tools.work = os.path.abspath(tools.work)
    shutil.rmtree(tools.work, ignore_errors=True)
    os.makedirs(tools.work)
    visits, report = make_report(tools.bin, tools.work)
    formula_like = sum(1 for v in visits if v.url.startswith(FORMULA_STARTS))
    print("Report: %d visits (%d URLs start with = + - @), %s" %
          (len(visits), formula_like, report))
    print()
    print("| reader | how | version | rows read | URLs exact | formulas evaluated | dates right |")
    print("|---|---|---|---|---|---|---|")
    details = []
    for name, how, read in READERS:
        try:
            version, rows = read(report, tools.work, tools)
        except Exception as error:  # a reader that fails is a finding, not the end
            said = getattr(error, "stderr", None)
            said = said.decode("utf-8", "replace") if isinstance(said, bytes) else said
            message = [line for line in (said or str(error)).strip().splitlines()
                       if not line.startswith("Warning:")]
            print("| %s | %s | %s | failed: %s | | | |" %
                  (name, how, "?", message[0][:100] if message else type(error).__name__))
            continue
        read_count, exact, formulas, dates = score(visits, rows)
        details.append("%s (%s): %s" % (name, how, ", ".join(missed(visits, rows)) or "none"))
        total = len(visits)
        print("| %s | %s | %s | %d/%d | %d/%d | %d | %d/%d |" %
              (name, how, version, read_count, total, exact, total, formulas, dates, total))
    if tools.details:
        print()
        print("URLs not read exactly:")
        for line in details:
            print("- " + line)


if __name__ == "__main__":
    main()
