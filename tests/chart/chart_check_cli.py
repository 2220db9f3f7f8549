"""The command line both chart checkers share: the file, the number of columns and the two heading texts,
and for a filled chart the box texts (--boxes FILE: a JSON object from cell name, "B5", to the text);
prints "OK" and exits 0, or prints each problem and exits 1."""

import argparse
import json


def run(check, description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("file")
    parser.add_argument("--columns", type=int, required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("--subtitle", required=True)
    parser.add_argument("--boxes")
    args = parser.parse_args()
    try:
        boxes = None
        if args.boxes:
            with open(args.boxes, encoding="utf-8") as f:
                boxes = json.load(f)
        problems = check(args.file, args.columns, args.title, args.subtitle, boxes)
    except Exception as error:  # an unreadable file is a failed check, with the reader's reason
        problems = ["cannot read %s: %s: %s" % (args.file, type(error).__name__, error)]
    if problems:
        print("\n".join(problems))
        return 1
    print("OK")
    return 0
