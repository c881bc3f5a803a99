#!/usr/bin/env python3
"""Lists every include in the source tree that points up the layers.

The tree is built bottom-up: base/ (the standard library only) under
everything, then the platform floor (platform/: the operating-system calls);
the plug-in (plugin/) and the QMX reader (qmxread/) on those, side by side
and blind to each other; the emulated host (hostsim/) and the preview
(preview/) on those, reaching into the plug-in only for its host interface
(plugin/host/: the numbers and layouts a host and the plug-in share); the
tool (tool/) on top. docs/architecture.md draws the picture.
Inside a part, its own layers hold the same way. A file may include from its
own layer, from a layer beside it or from a lower one, never from a higher
one; every include names its file from the repository's top folder. tests/,
bench/ and fuzz/ may include anything.
The platform floor holds every operating-system call: no system header
(SYSTEM_HEADERS) is included outside platform/ and the plug-in's own platform
units (plugin/platform/), which hold what must live in the module.
Exit status 1 when any include breaks that, with one line per include.

Usage: check-layers.py [ROOT]   (default: the repository holding scripts/)
"""
import pathlib
import re
import sys

# Part -> level. Parts of one level are independent: neither includes the other.
PARTS = {"base": 0, "platform": 1, "plugin": 2, "qmxread": 2, "hostsim": 3, "preview": 3, "tool": 4}
FREE = {"tests", "bench", "fuzz", "build"}
# The plug-in's folders each outer part may include (tool: any).
PLUGIN_REACH = {"hostsim": {"host"}, "preview": {"host"}, "tool": None}

# Layers inside a part, lower number = lower layer, keyed by the first folder
# under the part (or, for the emulated host, by the file's stem).
INNER = {
    "plugin": {
        "platform": 0, "host": 0, "scene_file": 0,
        "templates": 1,
        "payloads": 2,
        "collect": 3,
        "scene": 4,
        "command": 5,
        "module": 6,
    },
    "tool": {"output": 1, "import": 2, "convert": 2, "export": 3, "cli": 4},
    # The document and what the host records, the handle table, the host's
    # inside and its services, its public face.
    "hostsim": {
        "array_lengths": 0,
        "document_text": 0, "drawing": 0, "drawing_geometry": 0, "drawing_names": 0, "drawing_reader": 0,
        "drawing_writer": 0,
        "json_text": 0, "json_values": 0, "record_check": 0, "host_log": 0, "text_hash": 0,
        "record_spans": 0, "records_patch": 0, "text_faults": 0,
        "host_node": 1, "node_table": 1,
        "host_impl": 2, "services_dialogs": 2, "services_drawing": 2, "services_environment": 2,
        "services_objects": 2, "services_records": 2, "temporary_objects": 2,
        "emulated_host": 3,
    },
}
INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"]+)"')
SYSTEM_INCLUDE = re.compile(r'^\s*#\s*include\s+<([^>]+)>')
# The operating system's own headers (POSIX, Linux, Windows): the standard
# library's are free to all.
SYSTEM_HEADERS = {
    "unistd.h", "fcntl.h", "signal.h", "csignal", "dlfcn.h", "poll.h", "spawn.h", "dirent.h", "pthread.h",
    "termios.h", "pwd.h", "grp.h", "syslog.h", "sched.h", "semaphore.h", "glob.h", "fnmatch.h", "libgen.h",
    "langinfo.h", "iconv.h", "ftw.h", "utime.h", "wordexp.h", "malloc.h", "link.h", "execinfo.h",
    "io.h", "process.h", "direct.h", "share.h", "conio.h", "windows.h", "winbase.h", "winuser.h", "winnt.h",
    "windef.h", "winerror.h", "winnls.h", "wincon.h", "winsock2.h", "ws2tcpip.h", "shellapi.h", "shlobj.h",
    "shlwapi.h", "commdlg.h", "objbase.h", "fileapi.h", "handleapi.h", "processthreadsapi.h", "synchapi.h",
    "memoryapi.h", "psapi.h", "tlhelp32.h", "aclapi.h", "accctrl.h",
}
# Folders of system headers: every header in them is the system's.
SYSTEM_FOLDERS = ("sys/", "linux/", "asm/", "mach/", "arpa/", "netinet/", "net/")
# Where the operating system may be called: the platform floor, and the plug-in's own platform units.
SYSTEM_CALLERS = (("platform",), ("plugin", "platform"))
SOURCES = (".h", ".hpp", ".cpp", ".rc")


def inner_layer(part, parts):
    """The layer name of a path (its parts after the part folder) inside `part`."""
    if part == "hostsim":
        return pathlib.PurePosixPath(parts[-1]).stem
    return parts[0] if len(parts) > 1 else None


def check_include(part, layer, target):
    """None when a file of `part`/`layer` may include `target`, else why not."""
    pieces = target.split("/")
    to = pieces[0]
    if to not in PARTS:
        return f'includes "{target}", not named from the repository\'s top folder'
    if to == part:
        table = INNER.get(part)
        if table is None:
            return None
        to_layer = inner_layer(part, pieces[1:])
        if layer not in table or to_layer not in table:
            return None if layer == to_layer else f"{part}/ has no layer for {layer or to_layer}; add it to the table"
        if table[to_layer] > table[layer]:
            return f"{part}/{layer} includes {part}/{to_layer}, a higher layer"
        return None
    if PARTS[to] >= PARTS[part]:
        return f"{part}/ includes {to}/, which is {'beside' if PARTS[to] == PARTS[part] else 'above'} it"
    if to == "plugin":
        reach = PLUGIN_REACH.get(part, set())
        if reach is not None and (pieces[1] if len(pieces) > 2 else "") not in reach:
            allowed = ", ".join(f"plugin/{folder}/" for folder in sorted(reach))
            return f"{part}/ includes plugin/{pieces[1]}/; of the plug-in it may use {allowed} only"
    return None


def system_header_refusal(parts, header):
    """None when a file at `parts` may include the system header, else why not."""
    if header not in SYSTEM_HEADERS and not header.startswith(SYSTEM_FOLDERS):
        return None
    if any(tuple(parts[: len(caller)]) == caller for caller in SYSTEM_CALLERS):
        return None
    return f"includes the system header <{header}>; operating-system calls belong in platform/"


def sources(root: pathlib.Path):
    """Every source file under the root, outside the folders free of the layers."""
    for top in sorted(root.iterdir()):
        if top.name in FREE or top.name.startswith("."):
            continue
        for path in sorted(top.rglob("*")) if top.is_dir() else [top]:
            if path.suffix in SOURCES and path.is_file():
                yield path


def violations(root: pathlib.Path):
    for path in sources(root):
        parts = path.relative_to(root).parts
        part = parts[0]
        if part not in PARTS or len(parts) < 2:
            yield f"{path}: folder '{part}' has no place in the layers; add it to the part table"
            continue
        layer = inner_layer(part, parts[1:])
        table = INNER.get(part)
        if table is not None and layer not in table:
            yield f"{path}: {part}/{layer} has no layer; add it to the layer table"
            continue
        for number, line in enumerate(path.read_text(errors="replace").splitlines(), 1):
            match = INCLUDE.match(line)
            system = SYSTEM_INCLUDE.match(line)
            why = check_include(part, layer, match.group(1)) if match else None
            why = why or (system_header_refusal(parts, system.group(1)) if system else None)
            if why:
                yield f"{path}:{number}: {why}"


def main() -> int:
    default = pathlib.Path(__file__).resolve().parent.parent
    root = pathlib.Path(sys.argv[1]) if len(sys.argv) > 1 else default
    found = list(violations(root))
    for line in found:
        print(line)
    if found:
        print(f"{len(found)} include(s) against the layers", file=sys.stderr)
        return 1
    print(f"layers kept in {root}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
