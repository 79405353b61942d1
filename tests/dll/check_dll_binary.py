#!/usr/bin/env python3
"""Checks the built 32-bit Mirevane.dll as a binary, without running it.

The host finds the sixteen exports by their plain names and calls them __stdcall: it pushes
the arguments and relies on each export to remove exactly their bytes. A wrong count leaves
the host's stack pointer off by a few bytes and crashes it some frames later, far from the
cause. This script reads what the compiler and linker actually produced:

  - the image is a PE32 i386 DLL;
  - the export table holds the sixteen plain names and nothing else;
  - only Windows system DLLs are imported (a cab builder copies one file);
  - every way out of each export is a `ret` that removes that export's argument bytes.

Usage: check_dll_binary.py [--objdump PROGRAM] Mirevane.dll
Exit status 0 when every check passes, 1 with one line per failure otherwise.
"""

import argparse
import bisect
import re
import subprocess
import sys

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


def check_image_kind(headers, failures):
    if not re.search(r"file format pei-i386\b", headers):
        failures.append("image: not a pei-i386 file")
    if not re.search(r"^Magic\s+010b\s+\(PE32\)", headers, re.MULTILINE):
        failures.append("image: optional header is not PE32 (magic 010b)")
    match = re.search(r"^Characteristics\s+0x([0-9a-fA-F]+)", headers, re.MULTILINE)
    if not match:
        failures.append("image: no file header characteristics found")
        return
    characteristics = int(match.group(1), 16)
    if not characteristics & 0x2000:
        failures.append("image: the DLL flag (0x2000) is not set")
    if not characteristics & 0x0100:
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
    """objdump -d output cut into blocks, one per symbol, each up to the next symbol."""

    LABEL = re.compile(r"^([0-9a-f]+) <(.+)>:$")
    INSTRUCTION = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")

    def __init__(self, text):
        self.starts = []
        self.names = []
        self.instructions = []
        for line in text.splitlines():
            label = self.LABEL.match(line)
            if label:
                self.starts.append(int(label.group(1), 16))
                self.names.append(label.group(2))
                self.instructions.append([])
                continue
            instruction = self.INSTRUCTION.match(line)
            if instruction and self.instructions:
                address = int(instruction.group(1), 16)
                self.instructions[-1].append((address, instruction.group(2).strip()))

    def block_at(self, address):
        """Index of the block holding this address, or None."""
        i = bisect.bisect_right(self.starts, address) - 1
        return i if i >= 0 else None

    def block_end(self, index):
        return self.starts[index + 1] if index + 1 < len(self.starts) else float("inf")


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
    return rets, problems, [disassembly.names[block] for block in sorted(visited)]


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
        symbol = disassembly.names[block]
        if undecorated(symbol) != name:
            failures.append(f"{name}: its export address {address:08x} holds {symbol}")
            continue
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
    parser.add_argument("dll")
    args = parser.parse_args()

    failures = []
    headers = run_objdump(args.objdump, ["-p"], args.dll)
    check_image_kind(headers, failures)
    rvas = read_exports(headers, failures)
    check_imports(headers, failures)
    disassembly = Disassembly(run_objdump(args.objdump, ["-d", "--no-show-raw-insn"], args.dll))
    check_stack_cleanup(disassembly, image_base(headers), rvas, failures)

    if failures:
        for line in failures:
            print(f"FAIL: {line}")
        print(f"{args.dll}: {len(failures)} check(s) failed")
        return 1
    print(f"{args.dll}: PE32 i386 DLL; the {len(EXPECTED_ARGUMENT_BYTES)} exports by plain "
          f"name, each removing its argument bytes; imports only "
          f"{', '.join(sorted(ALLOWED_IMPORTS))}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
