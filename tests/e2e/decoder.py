"""An independent, strict reader of the report: UTF-16LE with its byte-order
mark, records ended by a line feed, fields after RFC 4180 (a quoted field
doubles its inner quotes and may hold commas and line breaks; an unquoted one
holds no quote and no carriage return). Anything else is an error, so a
report that some lenient reader would still accept does not pass."""

HEADER = ["HOSTNAME", "DATE", "URL", "USERNAME", "ACTION",
          "CATEGORY 1", "CATEGORY 2", "CATEGORY 3", "CATEGORY 4", "CATEGORY 5"]


class ReportError(ValueError):
    pass


def decode_text(data):
    if data[:2] != b"\xff\xfe":
        raise ReportError("no UTF-16LE byte-order mark")
    if len(data) % 2:
        raise ReportError("odd number of bytes")
    try:
        return data[2:].decode("utf-16-le", errors="strict")
    except UnicodeDecodeError as error:
        raise ReportError("not UTF-16LE: %s" % error) from None


def parse_records(text):
    """The records of `text`, each a list of fields; the text must end with
    a record's line feed."""
    records = []
    fields = []
    i = 0
    n = len(text)
    while i < n:
        if text[i] == '"':
            i += 1
            value = []
            while True:
                end = text.find('"', i)
                if end < 0:
                    raise ReportError("unterminated quoted field at %d" % i)
                value.append(text[i:end])
                if end + 1 < n and text[end + 1] == '"':
                    value.append('"')
                    i = end + 2
                    continue
                i = end + 1
                break
            field = "".join(value)
            if i < n and text[i] not in ",\n":
                raise ReportError("text after a closing quote at %d" % i)
        else:
            end = i
            while end < n and text[end] not in ",\n":
                if text[end] in '"\r':
                    raise ReportError("%r in an unquoted field at %d" % (text[end], end))
                end += 1
            field = text[i:end]
            i = end
        fields.append(field)
        if i >= n:
            raise ReportError("the last record has no line feed")
        if text[i] == "\n":
            records.append(fields)
            fields = []
        i += 1
    if fields:
        raise ReportError("a record without its line feed")
    return records


def read_rows(path):
    """The report's rows (11 fields each, the last empty) under its header."""
    with open(path, "rb") as file:
        records = parse_records(decode_text(file.read()))
    if not records or records[0] != HEADER:
        raise ReportError("unexpected header: %r" % (records[:1],))
    for number, row in enumerate(records[1:], start=2):
        if len(row) != 11 or row[10] != "":
            raise ReportError("record %d has %d fields: %r" % (number, len(row), row[:3]))
    return records[1:]
