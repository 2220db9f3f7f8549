"""The command line both chart checkers share: the file, the number of columns and the two heading texts;
prints "OK" and exits 0, or prints each problem and exits 1."""

import argparse


def run(check, description):
    parser = argparse.ArgumentParser(description=description)
    parser.add_argument("file")
    parser.add_argument("--columns", type=int, required=True)
    parser.add_argument("--title", required=True)
    parser.add_argument("--subtitle", required=True)
    args = parser.parse_args()
    try:
        problems = check(args.file, args.columns, args.title, args.subtitle)
    except Exception as error:  # an unreadable file is a failed check, with the reader's reason
        problems = ["cannot read %s: %s: %s" % (args.file, type(error).__name__, error)]
    if problems:
        print("\n".join(problems))
        return 1
    print("OK")
    return 0
