#!/usr/bin/env python3
"""Checks a built Mirevane.dll as a binary, without running it.

The host finds the sixteen exports by their plain names. A 32-bit host calls them __stdcall:
it pushes the arguments and relies on each export to remove exactly their bytes. A wrong
count leaves the host's stack pointer off by a few bytes and crashes it some frames later,
far from the cause. This script reads what the compiler and linker actually produced:

  - the image is a PE32 i386 DLL (--machine i386) or a PE32+ x86-64 DLL (--machine x86-64);
  - the export table holds the sixteen plain names and nothing else;
  - only Windows system DLLs are imported (a cab builder copies one file);
  - 32-bit: every way out of each export is a `ret` that removes that export's argument
    bytes. The 64-bit convention has the caller remove its own arguments, so there is
    nothing to check there.

The shipped DLL has no symbols, and without them an export cannot be bounded: --symbols
names the debug file kept beside it, whose symbols are used once the DLL's .gnu_debuglink
shows that the file is its own (same name, same CRC).

Usage: check_dll_binary.py [--objdump PROGRAM] [--machine i386|x86-64] [--symbols FILE]
           Mirevane.dll
Exit status 0 when every check passes, 1 with one line per failure otherwise.
"""

import argparse
import bisect
import os
import re
import subprocess
import sys
import zlib

# Argument bytes each export removes. Elapse: hidden result address 4, vehicle state 40,
# panel and sound pointers 4 each.
EXPECTED_ARGUMENT_BYTES = {
    "Load": 0,
    "Dispose": 0,
    "GetPluginVersion": 0,
    "SetVehicleSpec": 20,
    "Initialize": 4,
    "Elapse": 52,
    "SetPower": 4,
    "SetBrake": 4,
    "SetReverser": 4,
    "KeyDown": 4,
    "KeyUp": 4,
    "HornBlow": 4,
    "DoorOpen": 0,
    "DoorClose": 0,
    "SetSignal": 4,
    "SetBeaconData": 16,
}

# System DLLs present on every Windows the host runs on. Compared without letter case.
ALLOWED_IMPORTS = {"kernel32.dll", "user32.dll", "msvcrt.dll"}

# Runtime DLLs that a link without -static pulls in; named in the message so the cause is plain.
RUNTIME_IMPORT = re.compile(r"^(libstdc\+\+|libgcc|libwinpthread)", re.IGNORECASE)

# Instruction prefixes objdump prints before the mnemonic.
PREFIXES = {"rep", "repz", "repe", "repnz", "repne", "bnd", "notrack", "ds", "cs", "lock"}


def run_objdump(objdump, flags, dll):
    result = subprocess.run([objdump, *flags, dll], capture_output=True, text=True)
    if result.returncode != 0:
        sys.exit(f"FAIL: {objdump} {' '.join(flags)} failed: {result.stderr.strip()}")
    return result.stdout


# What objdump says of each kind of image: file format, optional header magic, and whether
# the file header carries the 32-bit machine flag (0x0100).
MACHINES = {
    "i386": ("pei-i386", "010b", "PE32", True),
    "x86-64": ("pei-x86-64", "020b", "PE32+", False),
}


def check_image_kind(headers, machine, failures):
    file_format, magic, kind, flag_32bit = MACHINES[machine]
    if not re.search(rf"file format {file_format}$", headers, re.MULTILINE):
        failures.append(f"image: not a {file_format} file")
    if not re.search(rf"^Magic\s+{magic}\s+\({re.escape(kind)}\)", headers, re.MULTILINE):
        failures.append(f"image: optional header is not {kind} (magic {magic})")
    match = re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", headers, re.MULTILINE)
    if not match:
        failures.append("image: no file header characteristics found")
        return
    characteristics = int(match.group(1), 16)
    if not characteristics & 0x2000:
        failures.append("image: the DLL flag (0x2000) is not set")
    if flag_32bit and not characteristics & 0x0100:
        failures.append("image: the 32-bit machine flag (0x0100) is not set")


def image_base(headers):
    match = re.search(r"^ImageBase\s+([0-9a-fA-F]+)", headers, re.MULTILINE)
    if not match:
        sys.exit("FAIL: no ImageBase in the headers")
    return int(match.group(1), 16)


def read_exports(headers, failures):
    """Returns {name: rva} from the export table, reporting anything unexpected."""
    address_table = {}
    in_addresses = False
    names = {}
    in_names = False
    for line in headers.splitlines():
        if line.startswith("Export Address Table -- Ordinal Base"):
            in_addresses, in_names = True, False
            continue
        if line.startswith("[Ordinal/Name Pointer] Table"):
            in_addresses, in_names = False, True
            continue
        if not line.strip():
            if in_names:
                break
            continue
        if in_addresses:
            match = re.match(r"\s*\[\s*(\d+)\]\s+\+base\[\s*\d+\]\s+([0-9a-fA-F]+)\s+Export RVA", line)
            if match:
                address_table[int(match.group(1))] = int(match.group(2), 16)
            elif "Forwarder RVA" in line:
                failures.append(f"exports: unexpected forwarder: {line.strip()}")
        elif in_names:
            # "[index] name", the index into the address table; newer binutils also print
            # "+base[ordinal]" between the two.
            match = re.match(r"\s*\[\s*(\d+)\]\s+(?:\+base\[\s*\d+\]\s+)?(\S+)\s*$", line)
            if not match:
                sys.exit(f"FAIL: cannot read export name line: {line!r}")
            index, name = int(match.group(1)), match.group(2)
            if name in names:
                failures.append(f"exports: {name} is exported twice")
            names[name] = index

    if not address_table:
        failures.append("exports: no export address table found")
    if len(address_table) != len(EXPECTED_ARGUMENT_BYTES):
        failures.append(
            f"exports: the address table holds {len(address_table)} entries, "
            f"expected {len(EXPECTED_ARGUMENT_BYTES)}")
    for name in sorted(set(names) - set(EXPECTED_ARGUMENT_BYTES)):
        kind = "decorated name" if re.search(r"[@?]|^_", name) else "unexpected name"
        failures.append(f"exports: {kind} {name}")
    for name in sorted(set(EXPECTED_ARGUMENT_BYTES) - set(names)):
        failures.append(f"exports: {name} is not exported under its plain name")
    unnamed = set(address_table) - set(names.values())
    for index in sorted(unnamed):
        failures.append(f"exports: address table entry {index} has no name (ordinal-only export)")

    rvas = {}
    for name, index in names.items():
        if index not in address_table:
            failures.append(f"exports: {name} points at missing address table entry {index}")
        else:
            rvas[name] = address_table[index]
    return rvas


def check_imports(headers, failures):
    imported = re.findall(r"^\s*DLL Name:\s*(\S+)", headers, re.MULTILINE)
    if not imported:
        failures.append("imports: no import table found")
    for dll in imported:
        if dll.lower() in ALLOWED_IMPORTS:
            continue
        if RUNTIME_IMPORT.match(dll):
            failures.append(f"imports: {dll} is a compiler runtime DLL: link the runtime statically")
        else:
            failures.append(f"imports: {dll} is not an allowed system DLL "
                         f"({', '.join(sorted(ALLOWED_IMPORTS))})")


class Disassembly:
    """objdump -d output cut into blocks, one per address that carries a symbol, each up to
    the next such address. The symbols come from nm, of the DLL itself or of its debug file."""

    SYMBOL = re.compile(r"^([0-9a-f]+) [TtWw] (\S+)$")
    INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")

    def __init__(self, text, symbols):
        names = {}
        for line in symbols.splitlines():
            symbol = self.SYMBOL.match(line)
            if symbol:
                names.setdefault(int(symbol.group(1), 16), []).append(symbol.group(2))
        self.starts = sorted(names)
        self.names = [names[start] for start in self.starts]
        self.instructions = [[] for _ in self.starts]
        for line in text.splitlines():
            instruction = self.INSTRUCTION.match(line)
            if instruction:
                address = int(instruction.group(1), 16)
                block = self.block_at(address)
                if block is not None:
                    self.instructions[block].append((address, instruction.group(2).strip()))

    def block_at(self, address):
        """Index of the block holding this address, or None."""
        i = bisect.bisect_right(self.starts, address) - 1
        return i if i >= 0 else None

    def block_end(self, index):
        return self.starts[index + 1] if index + 1 < len(self.starts) else float("inf")


def debug_link(objdump, dll):
    """(file name, CRC-32) from the DLL's .gnu_debuglink section, or None without one."""
    result = subprocess.run([objdump, "-s", "-j", ".gnu_debuglink", dll], capture_output=True,
                            text=True)
    data = bytearray()
    for line in result.stdout.splitlines():
        match = re.match(r"^ [0-9a-f]+ ((?:[0-9a-f]{2,8} ){1,4})", line + " ")
        if match:
            data += bytes.fromhex("".join(match.group(1).split()))
    if result.returncode != 0 or b"\0" not in data:
        return None
    name = data[:data.index(b"\0")].decode("latin-1")
    crc_offset = (len(name) + 1 + 3) // 4 * 4
    return name, int.from_bytes(data[crc_offset:crc_offset + 4], "little")


def check_symbol_file(objdump, dll, symbols, failures):
    link = debug_link(objdump, dll)
    if link is None:
        failures.append(f"symbols: {dll} has no .gnu_debuglink naming its debug file")
        return False
    with open(symbols, "rb") as f:
        crc = zlib.crc32(f.read())
    name, linked_crc = link
    if name != os.path.basename(symbols) or crc != linked_crc:
        failures.append(f"symbols: {symbols} (CRC {crc:08x}) is not the debug file the DLL "
                        f"links to ({name}, CRC {linked_crc:08x})")
        return False
    return True


def split_instruction(text):
    words = text.split()
    while words and words[0] in PREFIXES:
        words = words[1:]
    if not words:
        return "", ""
    return words[0], " ".join(words[1:])


def exits_of(disassembly, first_block):
    """Follows every jump that leaves a block (into a cold part, or a tail call) and returns
    (rets, problems, blocks): each ret as (address, bytes removed), what cannot be verified,
    and the names of the blocks visited."""
    rets = []
    problems = []
    pending = [first_block]
    visited = set()
    while pending:
        block = pending.pop()
        if block in visited:
            continue
        visited.add(block)
        start, end = disassembly.starts[block], disassembly.block_end(block)
        for address, text in disassembly.instructions[block]:
            mnemonic, operand = split_instruction(text)
            if mnemonic in ("ret", "retl"):
                removed = int(operand.lstrip("$"), 0) if operand else 0
                rets.append((address, removed))
            elif mnemonic in ("lret", "iret", "iretl"):
                problems.append(f"{address:08x}: {text}")
            elif mnemonic.startswith("j") or mnemonic.startswith("loop"):
                if operand.startswith("*"):
                    problems.append(f"{address:08x}: indirect jump {text}")
                    continue
                target = int(operand.split()[0], 16)
                if start <= target < end:
                    continue
                target_block = disassembly.block_at(target)
                if target_block is None:
                    problems.append(f"{address:08x}: jump outside the code {text}")
                else:
                    pending.append(target_block)
    return rets, problems, [disassembly.names[block][0] for block in sorted(visited)]


def undecorated(symbol):
    """_Elapse@48 -> Elapse: the compiler's own name for a __stdcall function."""
    return re.sub(r"@\d+$", "", symbol[1:] if symbol.startswith("_") else symbol)


def check_stack_cleanup(disassembly, base, rvas, failures):
    for name, expected in EXPECTED_ARGUMENT_BYTES.items():
        if name not in rvas:
            continue
        address = base + rvas[name]
        block = disassembly.block_at(address)
        if block is None or disassembly.starts[block] != address:
            failures.append(f"{name}: no symbol starts at its export address {address:08x}; "
                         "without symbols the function cannot be bounded")
            continue
        symbols = disassembly.names[block]
        if name not in map(undecorated, symbols):
            failures.append(f"{name}: its export address {address:08x} holds "
                            f"{', '.join(symbols)}")
            continue
        symbol = next(s for s in symbols if undecorated(s) == name)
        rets, problems, blocks = exits_of(disassembly, block)
        for problem in problems:
            failures.append(f"{name}: cannot verify the way out at {problem}")
        if not rets:
            failures.append(f"{name}: no ret found in {symbol}")
        for ret_address, removed in rets:
            if removed != expected:
                failures.append(f"{name}: ret at {ret_address:08x} removes {removed} bytes, "
                                f"expected {expected}")
        print(f"{name}: {symbol}, {len(rets)} ret(s) through {len(blocks)} block(s), "
              f"removing {sorted({removed for _, removed in rets})} bytes")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--objdump", default="i686-w64-mingw32-objdump")
    parser.add_argument("--machine", choices=sorted(MACHINES), default="i386")
    parser.add_argument("--symbols", help="the debug file the DLL links to")
    parser.add_argument("dll")
    args = parser.parse_args()

    failures = []
    headers = run_objdump(args.objdump, ["-p"], args.dll)
    check_image_kind(headers, args.machine, failures)
    rvas = read_exports(headers, failures)
    check_imports(headers, failures)
    if args.machine == "i386":
        symbol_file = args.dll
        if args.symbols and check_symbol_file(args.objdump, args.dll, args.symbols, failures):
            symbol_file = args.symbols
        nm = re.sub(r"objdump$", "nm", args.objdump)
        symbols = subprocess.run([nm, "-n", "--defined-only", symbol_file], capture_output=True,
                                 text=True).stdout
        code = run_objdump(args.objdump, ["-d", "--no-show-raw-insn"], args.dll)
        check_stack_cleanup(Disassembly(code, symbols), image_base(headers), rvas, failures)

    if failures:
        for line in failures:
            print(f"FAIL: {line}")
        print(f"{args.dll}: {len(failures)} check(s) failed")
        return 1
    kind = MACHINES[args.machine][2]
    cleanup = (", each removing its argument bytes" if args.machine == "i386" else
               " (the caller removes the arguments)")
    print(f"{args.dll}: {kind} {args.machine} DLL; the {len(EXPECTED_ARGUMENT_BYTES)} exports "
          f"by plain name{cleanup}; imports only {', '.join(sorted(ALLOWED_IMPORTS))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
