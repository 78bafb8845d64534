"""The instruction audit of the program: the toolchain's runtime is built for
the i686 (Pentium Pro, Pentium II), so that is the oldest processor Skyvane
runs on, and nothing newer may slip in (Wine runs on whatever the test machine
has, so only the code itself shows it). Instructions newer than the i686 may
appear only in code chosen at run time: libjpeg-turbo's SIMD code (every
symbol of its assembly objects, the *.asm members of libjpeg.a) and the
functions listed in runtime-chosen-code.txt.

skyvane.scr ships stripped; the audit disassembles skyvane-symbols.exe, the
same link with its symbols, after checking that its code is byte for byte
the program's.

SKYVANE_PROGRAM, SKYVANE_PROGRAM_SYMBOLS and SKYVANE_JPEG_LIBRARY name the
files (default build/cross/skyvane.scr, build/cross/skyvane-symbols.exe,
build/deps/libjpeg-mingw/lib/libjpeg.a).
"""
import collections
import os
import pathlib
import re
import subprocess

import pefile
import pytest

ROOT = pathlib.Path(__file__).resolve().parents[2]
CROSS = ROOT / "build" / "cross"
PROGRAM = pathlib.Path(os.environ.get("SKYVANE_PROGRAM", CROSS / "skyvane.scr"))
SYMBOLS = pathlib.Path(os.environ.get("SKYVANE_PROGRAM_SYMBOLS", CROSS / "skyvane-symbols.exe"))
JPEG_LIBRARY = pathlib.Path(os.environ.get("SKYVANE_JPEG_LIBRARY",
                                           ROOT / "build" / "deps" / "libjpeg-mingw" / "lib" / "libjpeg.a"))
CHOSEN_CODE = pathlib.Path(__file__).with_name("runtime-chosen-code.txt")
TOOLS = "i686-w64-mingw32-"
IMAGE_SCN_MEM_EXECUTE = 0x20000000

# The i686 instruction set as objdump names it (Intel syntax): the 386's
# integer instructions, the 486's and Pentium's additions, the Pentium Pro's
# CMOVcc, FCMOVcc, FCOMI and RDPMC, and the x87. "nop" covers the long NOP
# (0F 1F) of the Pentium Pro; "pause" (REP NOP) and "tzcnt" (REP BSF, which
# GCC emits for a count of trailing zeros of a value that is never zero) run
# as NOP and BSF on any older processor.
CONDITIONS = "o no b c nae ae nb nc e z ne nz be na a nbe s ns p pe np po l nge ge nl le ng g nle".split()
I686 = set("""
aaa aad aam aas adc add and arpl bound bsf bsr bswap bt btc btr bts call cbw cdq clc cld cli clts
cmc cmp cmps cmpxchg cmpxchg8b cpuid cwd cwde daa das dec div enter hlt idiv imul in inc ins int
int3 into invd invlpg iret iretd jcxz jecxz jmp lahf lar lds lea leave les lfs lgdt lgs lidt lldt
lmsw lods loop loope loopne lsl lss ltr mov movs movsx movzx mul neg nop not or out outs pop popa
popad popf popfd push pusha pushad pushf pushfd rcl rcr rdmsr rdpmc rdtsc ret retf rol ror rsm
sahf sal sar sbb scas sgdt shl shld shr shrd sidt sldt smsw stc std sti stos str sub test ud2 verr
verw wait wbinvd wrmsr xadd xchg xlat xor pause tzcnt
f2xm1 fabs fadd faddp fbld fbstp fchs fclex fnclex fcom fcomp fcompp fcomi fcomip fucomi fucomip
fcos fdecstp fdiv fdivp fdivr fdivrp ffree fiadd ficom ficomp fidiv fidivr fild fimul fincstp
finit fninit fist fistp fisub fisubr fld fld1 fldcw fldenv fldl2e fldl2t fldlg2 fldln2 fldpi fldz
fmul fmulp fnop fpatan fprem fprem1 fptan frndint frstor fsave fnsave fscale fsin fsincos fsqrt
fst fstcw fnstcw fstenv fnstenv fstp fstsw fnstsw fsub fsubp fsubr fsubrp ftst fucom fucomp
fucompp fwait fxam fxch fxtract fyl2x fyl2xp1
fcmovb fcmovbe fcmove fcmovnb fcmovnbe fcmovne fcmovnu fcmovu
""".split()) | {"j" + c for c in CONDITIONS} | {"set" + c for c in CONDITIONS} | {"cmov" + c for c in CONDITIONS}
PREFIXES = {"rep", "repz", "repnz", "repe", "repne", "lock", "cs", "ds", "es", "ss", "fs", "gs",
            "data16", "addr16"}
NEWER_REGISTERS = re.compile(r"\b([xyz]mm\d+|mm[0-7]|k[0-7]|bnd[0-3])\b")
SYMBOL_LINE = re.compile(r"^[0-9a-f]+ <(.+)>:$")
INSTRUCTION_LINE = re.compile(r"^\s*([0-9a-f]+):\t(.*)$")


def newer_than_i686(text):
    """True when one disassembled instruction needs more than an i686."""
    words = re.sub(r"<[^>]*>", "", text).split()
    while words and words[0] in PREFIXES:
        words = words[1:]
    if not words:
        return False
    return words[0] not in I686 or bool(NEWER_REGISTERS.search(" ".join(words[1:])))


def chosen_code_rules():
    """[(kind, compiled pattern, pattern text)] from runtime-chosen-code.txt."""
    rules = []
    for line in CHOSEN_CODE.read_text().splitlines():
        if not line.strip() or line.startswith("#"):
            continue
        kind, pattern = line.split()[:2]
        assert kind in ("chosen", "data"), line
        rules.append((kind, re.compile(pattern), pattern))
    return rules


def jpeg_simd_symbols():
    listing = subprocess.run([TOOLS + "nm", "--defined-only", "-A", str(JPEG_LIBRARY)],
                             capture_output=True, text=True, check=True).stdout
    symbols = set()
    for line in listing.splitlines():
        member_and_address, _, name = line.rpartition(" ")
        if ".asm.obj:" in member_and_address:
            symbols.add(name)
    return symbols


def code_sections(path):
    pe = pefile.PE(str(path))
    try:
        return {(s.Name.rstrip(b"\0").decode(), s.VirtualAddress): s.get_data()[:s.Misc_VirtualSize]
                for s in pe.sections if s.Characteristics & IMAGE_SCN_MEM_EXECUTE}
    finally:
        pe.close()


def disassembled_symbols(path):
    """{symbol: [instruction text]} of every executable section, each
    instruction under the nearest symbol before it."""
    listing = subprocess.run([TOOLS + "objdump", "-d", "-M", "intel", "--no-show-raw-insn", str(path)],
                             capture_output=True, text=True, check=True).stdout
    code = collections.defaultdict(list)
    symbol = None
    for line in listing.splitlines():
        header = SYMBOL_LINE.match(line)
        if header:
            symbol = header.group(1)
            continue
        instruction = INSTRUCTION_LINE.match(line)
        if instruction and symbol is not None:
            code[symbol].append(instruction.group(2))
    return code


@pytest.fixture(scope="module")
def program_code():
    for path in (PROGRAM, SYMBOLS, JPEG_LIBRARY):
        assert path.is_file(), "%s is not built" % path
    sections = code_sections(PROGRAM)
    assert sections, "no executable section in %s" % PROGRAM
    assert code_sections(SYMBOLS) == sections, "%s holds other code than %s" % (SYMBOLS.name, PROGRAM.name)
    return disassembled_symbols(SYMBOLS)


def classify(program_code):
    """(newer instructions of code chosen at run time, of other code, rules that matched)."""
    rules = chosen_code_rules()
    jpeg_simd = jpeg_simd_symbols()
    chosen, elsewhere, matched = collections.Counter(), collections.defaultdict(list), set()
    for symbol, instructions in program_code.items():
        kinds = {(kind, text) for kind, pattern, text in rules if pattern.fullmatch(symbol)}
        matched |= {text for _, text in kinds}
        if any(kind == "data" for kind, _ in kinds):
            continue
        newer = [text for text in instructions if newer_than_i686(text)]
        if symbol in jpeg_simd or kinds:
            chosen[symbol] += len(newer)
        elif newer:
            elsewhere[symbol] = newer
    return chosen, elsewhere, matched


def test_the_i686_check_tells_newer_instructions():
    for text in ("mov eax,DWORD PTR [esp+0x4]", "cmovne eax,edx", "rep stos DWORD PTR es:[edi],eax",
                 "fcomip st,st(1)", "tzcnt eax,eax", "lock cmpxchg DWORD PTR [ecx],edx",
                 "call 0x401000 <_mm0_helper>", "cs nop WORD PTR [eax+eax*1+0x0]"):
        assert not newer_than_i686(text), text
    for text in ("movdqu xmm0,XMMWORD PTR [eax]", "movd eax,mm0", "emms", "pxor xmm1,xmm1",
                 "vmovdqa ymm0,ymm1", "cvttsd2si eax,xmm0", "sfence", "popcnt eax,edx",
                 "lzcnt eax,edx", "rdrand eax", "fisttp DWORD PTR [esp]", "movnti DWORD PTR [eax],edx",
                 "ldmxcsr DWORD PTR [esp]"):
        assert newer_than_i686(text), text


def test_only_code_chosen_at_run_time_is_newer_than_i686(program_code):
    chosen, elsewhere, matched = classify(program_code)
    report = ["%s: %s" % (symbol, ", ".join(sorted(set(i.split()[0] for i in instructions))))
              for symbol, instructions in sorted(elsewhere.items())]
    assert not elsewhere, "instructions newer than the i686 outside code chosen at run time:\n" + "\n".join(report)
    unmatched = [text for _, _, text in chosen_code_rules() if text not in matched]
    assert not unmatched, "runtime-chosen-code.txt names nothing in the program: %s" % unmatched
    # The audit sees what it must allow: the SIMD code is there and is newer.
    assert sum(count for symbol, count in chosen.items() if "saveAndDrawRow" in symbol) > 0, "no SSE2 in saveAndDrawRow"
    assert sum(count for symbol, count in chosen.items() if symbol.startswith("_jsimd_")) > 1000
