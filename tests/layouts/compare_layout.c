/*
 * compare_layout.c - prove that a patched keyboard layout library differs from
 * its original exactly where the installer meant to change it.
 *
 *   compare_layout.exe ORIGINAL.dll PATCHED.dll [--pointers=64]
 *                      [--vk SC=VK]... [--e0 SC=VK]... [--e1 SC=VK]... [--decimal]
 *                      [--tables-anywhere] [--no-type]
 *   compare_layout.exe --self-test LAYOUT.dll [--pointers=64]
 *
 * Both libraries are loaded, their KbdLayerDescriptor called, and every table
 * reachable from the two descriptors compared.  The changes allowed are the
 * ones named: scan-code entries (--vk), E0 and E1 records matched by scan byte
 * (--e0, --e1), and the first two character columns of the keypad decimal
 * record becoming ',' (--decimal).  Every other difference, and every named
 * change that is missing, prints "DIFF <table> <details>"; the last line is
 * "RESULT: OK" (exit 0) or "RESULT: FAIL" (exit 1); a library that cannot be
 * loaded gives an "ERROR" line and FAIL.  Usage errors exit 2.  Pointers are
 * compared as RVAs: patching rewrites bytes in place and never moves a table.
 *
 * --pointers=64 reads tables whose pointers are 64 bits wide in a 32-bit
 * image (32-bit libraries made for 64-bit Windows store them that way, high
 * half 0).  The x64 build always reads 64-bit pointers.
 *
 * --tables-anywhere compares two libraries that were built apart (a compiled
 * one against the layout tool's): each pointer is followed in its own image
 * and only the tables it leads to are compared, wherever they lie.  --no-type
 * leaves out dwType and dwSubType, which some libraries do not hold: their
 * tables end after pLigature, and the two fields read what follows.
 *
 * --self-test patches copies of LAYOUT.dll and checks that the comparison
 * accepts exactly the named changes and notices any other changed byte.
 *
 * The tables are never read through the loaded module: each image is copied
 * once after loading and walked by RVA with bounds checks, so a malformed
 * table ends as a DIFF line instead of a crash, and the self-test can flip
 * single bytes of a copy cheaply.
 */
#include <windows.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include "demo/layouts/kbd_tables.h"

/* Caps on every walk: real layouts stay far below them. */
#define MAX_RECORDS  1024u
#define MAX_CHARS    256u
#define MAX_MOD_BITS 255u   /* ModBits is a byte */

#define PAGE_BYTES   4096u  /* x86 and x64 */
#define VK_DECIMAL_KEY 0x6Eu
#define COMMA        0x2Cu

#define ALIGN_UP(x, a) (((x) + (a) - 1) / (a) * (a))

/*
 * The tables in both pointer forms (P = 4 or 8 bytes per pointer).  Every
 * structure is aligned to P, so a member after a shorter one moves to the
 * next multiple of P.
 *
 * Descriptor:
 *   0    pCharModifiers         5P   pKeyNamesDead (array of string pointers)
 *   P    pVkToWcharTable        6P   pusVSCtoVK (16-bit entries)
 *   2P   pDeadKey               7P   bMaxVSCtoVK (byte)
 *   3P   pKeyNames              8P   pVSCtoVK_E0
 *   4P   pKeyNamesExt           9P   pVSCtoVK_E1
 *   10P  fLocaleFlags (32 bits), 10P+4 nLgMax, 10P+5 cbLgEntry (bytes)
 *   then pLigature at the next multiple of P, dwType and dwSubType (32 bits).
 * Modifiers: pVkToBit at 0, wMaxModBits (16 bits) at P, ModNumber[] at P+2.
 * Character table: pVkToWchars at 0, nModifications at P, cbSize at P+1,
 *   one table every ALIGN_UP(P+2, P) bytes, a null pVkToWchars ends them.
 * Key name: vsc byte at 0, string pointer at P, one every 2P bytes.
 * Pointer-free records: VK_TO_BIT 2 bytes (Vk, ModBits); character record
 *   cbSize bytes (VirtualKey, Attributes, wch[nModifications]); dead key
 *   8 bytes (dwBoth 32, wchComposed 16, uFlags 16); E0/E1 record 4 bytes
 *   (scan byte, pad, VK 16); ligature cbLgEntry bytes (VirtualKey, pad,
 *   ModificationNumber 16, characters).
 * Some libraries end the descriptor after pLigature; dwType and dwSubType
 * then read whatever follows it, the same bytes in both images.
 */
#define KT_MODIFIERS(p)      0u
#define KT_CHARS(p)          (p)
#define KT_DEAD_KEYS(p)      (2u * (p))
#define KT_KEY_NAMES(p)      (3u * (p))
#define KT_KEY_NAMES_EXT(p)  (4u * (p))
#define KT_KEY_NAMES_DEAD(p) (5u * (p))
#define KT_SCAN_CODES(p)     (6u * (p))
#define KT_MAX_SCAN(p)       (7u * (p))
#define KT_E0(p)             (8u * (p))
#define KT_E1(p)             (9u * (p))
#define KT_LOCALE_FLAGS(p)   (10u * (p))
#define KT_LG_MAX(p)         (10u * (p) + 4u)
#define KT_LG_ENTRY(p)       (10u * (p) + 5u)
#define KT_LIGATURES(p)      ALIGN_UP(10u * (p) + 6u, (p))
#define KT_TYPE(p)           (KT_LIGATURES(p) + (p))
#define KT_SUB_TYPE(p)       (KT_TYPE(p) + 4u)

#define MOD_VK_TO_BIT(p)     0u
#define MOD_MAX_BITS(p)      (p)
#define MOD_NUMBERS(p)       ((p) + 2u)

#define WT_CHARS(p)          0u
#define WT_COLUMNS(p)        (p)
#define WT_RECORD_SIZE(p)    ((p) + 1u)
#define WT_SIZE(p)           ALIGN_UP((p) + 2u, (p))

#define KN_SCAN(p)           0u
#define KN_NAME(p)           (p)
#define KN_SIZE(p)           (2u * (p))

/* The native form must match our own structures. */
#define NATIVE ((unsigned)sizeof(void *))
_Static_assert(KT_CHARS(NATIVE) == offsetof(KL_KBDTABLES, pVkToWcharTable), "pVkToWcharTable");
_Static_assert(KT_DEAD_KEYS(NATIVE) == offsetof(KL_KBDTABLES, pDeadKey), "pDeadKey");
_Static_assert(KT_KEY_NAMES(NATIVE) == offsetof(KL_KBDTABLES, pKeyNames), "pKeyNames");
_Static_assert(KT_KEY_NAMES_EXT(NATIVE) == offsetof(KL_KBDTABLES, pKeyNamesExt), "pKeyNamesExt");
_Static_assert(KT_KEY_NAMES_DEAD(NATIVE) == offsetof(KL_KBDTABLES, pKeyNamesDead), "pKeyNamesDead");
_Static_assert(KT_SCAN_CODES(NATIVE) == offsetof(KL_KBDTABLES, pusVSCtoVK), "pusVSCtoVK");
_Static_assert(KT_MAX_SCAN(NATIVE) == offsetof(KL_KBDTABLES, bMaxVSCtoVK), "bMaxVSCtoVK");
_Static_assert(KT_E0(NATIVE) == offsetof(KL_KBDTABLES, pVSCtoVK_E0), "pVSCtoVK_E0");
_Static_assert(KT_E1(NATIVE) == offsetof(KL_KBDTABLES, pVSCtoVK_E1), "pVSCtoVK_E1");
_Static_assert(KT_LOCALE_FLAGS(NATIVE) == offsetof(KL_KBDTABLES, fLocaleFlags), "fLocaleFlags");
_Static_assert(KT_LG_MAX(NATIVE) == offsetof(KL_KBDTABLES, nLgMax), "nLgMax");
_Static_assert(KT_LG_ENTRY(NATIVE) == offsetof(KL_KBDTABLES, cbLgEntry), "cbLgEntry");
_Static_assert(KT_LIGATURES(NATIVE) == offsetof(KL_KBDTABLES, pLigature), "pLigature");
_Static_assert(KT_TYPE(NATIVE) == offsetof(KL_KBDTABLES, dwType), "dwType");
_Static_assert(KT_SUB_TYPE(NATIVE) == offsetof(KL_KBDTABLES, dwSubType), "dwSubType");
_Static_assert(MOD_MAX_BITS(NATIVE) == offsetof(KL_MODIFIERS, wMaxModBits), "wMaxModBits");
_Static_assert(MOD_NUMBERS(NATIVE) == offsetof(KL_MODIFIERS, ModNumber), "ModNumber");
_Static_assert(WT_COLUMNS(NATIVE) == offsetof(KL_VK_TO_WCHAR_TABLE, nModifications), "nModifications");
_Static_assert(WT_RECORD_SIZE(NATIVE) == offsetof(KL_VK_TO_WCHAR_TABLE, cbSize), "cbSize");
_Static_assert(WT_SIZE(NATIVE) == sizeof(KL_VK_TO_WCHAR_TABLE), "VK_TO_WCHAR_TABLE");
_Static_assert(KN_NAME(NATIVE) == offsetof(KL_VSC_LPWSTR, pwsz), "pwsz");
_Static_assert(KN_SIZE(NATIVE) == sizeof(KL_VSC_LPWSTR), "VSC_LPWSTR");
_Static_assert(sizeof(KL_VK_TO_BIT) == 2, "VK_TO_BIT");
_Static_assert(sizeof(KL_DEADKEY) == 8, "DEADKEY");
_Static_assert(sizeof(KL_VSC_VK) == 4 && offsetof(KL_VSC_VK, Vk) == 2, "VSC_VK");
_Static_assert(offsetof(KL_VK_TO_WCHARS2, wch) == 2, "VK_TO_WCHARS");
_Static_assert(offsetof(KL_LIGATURE1, ModificationNumber) == 2, "LIGATURE");

typedef unsigned long long Off;   /* RVA arithmetic that cannot wrap */

/* One loaded library, copied out of the process's mapping. */
typedef struct {
    const char    *label;     /* "original" or "patched", for messages */
    unsigned char *bytes;     /* SizeOfImage bytes at the RVAs of the mapping; owned */
    unsigned char *readable;  /* one flag per page; owned unless shared by a copy */
    unsigned       size;      /* SizeOfImage */
    uintptr_t      base;      /* where the loader put (and relocated) the image */
    unsigned       tables;    /* RVA of what KbdLayerDescriptor returned */
    unsigned char *touched;   /* self-test only: one flag per byte read; owned */
} Image;

/* The changes the patched image is allowed to (and must) have. */
typedef struct {
    unsigned char  set;
    unsigned short vk;
} Want;

typedef struct {
    Want scan[127];   /* by scan code */
    Want e0[256];     /* by scan byte */
    Want e1[256];
    int  decimal;
    int  anywhere;    /* --tables-anywhere: the two libraries were built apart */
    int  noType;      /* --no-type */
} Expect;

/* Where the original keeps what the installer patches (self-test). */
typedef struct {
    unsigned scan, scanCount;      /* scan-code table */
    unsigned e0, e0Count;          /* first record, records before the end */
    unsigned e1, e1Count;
    unsigned decimal, decimalColumns;
} Found;

typedef struct {
    Image        *a, *b;       /* original, patched */
    unsigned      p;           /* pointer size in the tables */
    const Expect *want;
    int           quiet;
    unsigned      diffs;
    Found         found;
    /* state of the walk */
    int           decimalSeen;
    unsigned      columns;     /* nModifications of the character table being walked */
    const Want   *listWant;    /* expectations of the E0 or E1 list being walked */
    unsigned char listMatched[256];
    unsigned      listCount;   /* records of that list seen so far */
} Compare;

static void Diff(Compare *c, const char *table, const char *format, ...)
{
    va_list args;
    c->diffs++;
    if (c->quiet)
        return;
    printf("DIFF %s ", table);
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
}

/* Bounded access: the bytes at rva..rva+len-1 of one image, or NULL after a
 * DIFF line when they are not all inside its readable pages. */
static const unsigned char *Bytes(Compare *c, Image *im, const char *table, Off rva, unsigned len)
{
    Off page;
    if (rva > im->size || len > im->size - rva || len == 0) {
        Diff(c, table, "malformed %s image: %u byte(s) at RVA 0x%llX lie outside it",
             im->label, len, rva);
        return NULL;
    }
    for (page = rva / PAGE_BYTES; page <= (rva + len - 1) / PAGE_BYTES; page++) {
        if (!im->readable[page]) {
            Diff(c, table, "malformed %s image: RVA 0x%llX is not readable", im->label, rva);
            return NULL;
        }
    }
    if (im->touched)
        memset(im->touched + rva, 1, len);
    return im->bytes + rva;
}

static unsigned Get16(const unsigned char *q) { return q[0] | (unsigned)q[1] << 8; }
static unsigned Get32(const unsigned char *q) { return Get16(q) | (unsigned)Get16(q + 2) << 16; }

static int AllZero(const unsigned char *q, unsigned len)
{
    while (len--)
        if (*q++)
            return 0;
    return 1;
}

/* Reads the pointer at `at` as an RVA into *target (0 = null pointer).
 * 0 = malformed (reported): it points outside the image or at its header. */
static int ReadPointer(Compare *c, Image *im, const char *table, Off at, Off *target)
{
    const unsigned char *q = Bytes(c, im, table, at, c->p);
    unsigned long long v;
    if (!q)
        return 0;
    v = Get32(q);
    if (c->p == 8)
        v |= (unsigned long long)Get32(q + 4) << 32;  /* a 32-bit image keeps 0 here */
    if (v == 0) {
        *target = 0;
        return 1;
    }
    if (v <= im->base || v - im->base >= im->size) {
        Diff(c, table, "malformed %s image: the pointer at RVA 0x%llX (0x%llX) leads outside it",
             im->label, at, v);
        return 0;
    }
    *target = v - im->base;
    return 1;
}

/* The same pointer in both images.  Patching never moves a table, so the
 * RVAs must be equal.  1 = both point somewhere that can be walked. */
static int PointerPair(Compare *c, const char *table, Off atA, Off atB, int required,
                       Off *ta, Off *tb)
{
    int okA, okB;
    *ta = *tb = 0;
    okA = ReadPointer(c, c->a, table, atA, ta);
    okB = ReadPointer(c, c->b, table, atB, tb);
    if (!okA || !okB)
        return 0;
    if (!*ta != !*tb)
        Diff(c, table, "pointer at RVA 0x%llX: %s in the original, %s in the patched image",
             atA, *ta ? "set" : "null", *tb ? "set" : "null");
    else if (*ta != *tb && !c->want->anywhere)
        Diff(c, table, "pointer at RVA 0x%llX: original -> 0x%llX, patched -> 0x%llX",
             atA, *ta, *tb);
    if (required && !*ta)
        Diff(c, table, "malformed original image: no table (wrong pointer size?)");
    return *ta && *tb;
}

static void HexText(char *out, const unsigned char *q, unsigned len)
{
    unsigned i, shown = len > 32 ? 32 : len;
    for (i = 0; i < shown; i++)
        sprintf(out + 2 * i, "%02X", q[i]);
    strcpy(out + 2 * shown, len > shown ? "..." : "");
}

/* One record: the patched bytes must equal `want`, the original's bytes with
 * the expected changes applied. */
static void CheckRecord(Compare *c, const char *table, unsigned index, const unsigned char *orig,
                        const unsigned char *want, const unsigned char *patched, unsigned len)
{
    char o[72], p[72], w[72];
    if (memcmp(patched, want, len) == 0)
        return;
    HexText(o, orig, len);
    HexText(p, patched, len);
    if (memcmp(orig, want, len) == 0) {
        Diff(c, table, "record %u: original %s, patched %s", index, o, p);
    } else {
        HexText(w, want, len);
        Diff(c, table, "record %u: original %s, patched %s, expected %s", index, o, p, w);
    }
}

static void CheckValue(Compare *c, const char *table, const char *what, unsigned a, unsigned b)
{
    if (a != b)
        Diff(c, table, "%s: original 0x%X, patched 0x%X", what, a, b);
}

/* A record of a list, at ra in the original and rb in the patched image. */
typedef void (*RecordFn)(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                         unsigned len);

/* Walks two lists of len-byte records in step; a record whose first endLen
 * bytes are 0 ends a list.  The lists must end together. */
static void WalkList(Compare *c, const char *table, Off ra, Off rb, unsigned len,
                     unsigned endLen, RecordFn fn)
{
    unsigned i;
    for (i = 0; i < MAX_RECORDS; i++) {
        const unsigned char *qa = Bytes(c, c->a, table, ra + (Off)i * len, endLen);
        const unsigned char *qb = Bytes(c, c->b, table, rb + (Off)i * len, endLen);
        int endA, endB;
        if (!qa || !qb)
            return;
        endA = AllZero(qa, endLen);
        endB = AllZero(qb, endLen);
        if (endA || endB) {
            if (endA != endB)
                Diff(c, table, "the %s image's list ends after %u records, the other's does not",
                     endA ? "original" : "patched", i);
            return;
        }
        fn(c, table, i, ra + (Off)i * len, rb + (Off)i * len, len);
    }
    Diff(c, table, "malformed: no end within %u records", MAX_RECORDS);
}

/* Records compared byte for byte, nothing expected to change. */
static void PlainRecord(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                        unsigned len)
{
    const unsigned char *qa = Bytes(c, c->a, table, ra, len);
    const unsigned char *qb = Bytes(c, c->b, table, rb, len);
    if (qa && qb)
        CheckRecord(c, table, index, qa, qa, qb, len);
}

/* A string of 16-bit characters ending in 0, at most MAX_CHARS long. */
static int StringLength(Compare *c, Image *im, const char *table, Off at, unsigned *length)
{
    unsigned n;
    for (n = 0; n < MAX_CHARS; n++) {
        const unsigned char *q = Bytes(c, im, table, at + 2 * (Off)n, 2);
        if (!q)
            return 0;
        if (!Get16(q)) {
            *length = n;
            return 1;
        }
    }
    Diff(c, table, "malformed %s image: the string at RVA 0x%llX has no end within %u characters",
         im->label, at, MAX_CHARS);
    return 0;
}

static void StringText(char *out, const unsigned char *q, unsigned length)
{
    unsigned i;
    for (i = 0; i < length && i < 40; i++) {
        unsigned ch = Get16(q + 2 * i);
        if (ch >= 0x20 && ch < 0x7F && ch != '\\')
            *out++ = (char)ch;
        else
            out += sprintf(out, "\\u%04X", ch);
    }
    strcpy(out, i < length ? "..." : "");
}

static void CompareText(Compare *c, const char *table, unsigned index, Off ra, Off rb)
{
    unsigned na, nb;
    const unsigned char *qa, *qb;
    char ta[256], tb[256];
    int okA = StringLength(c, c->a, table, ra, &na);
    int okB = StringLength(c, c->b, table, rb, &nb);
    if (!okA || !okB)
        return;
    qa = c->a->bytes + ra;   /* both read in full by StringLength */
    qb = c->b->bytes + rb;
    if (na == nb && memcmp(qa, qb, 2 * na) == 0)
        return;
    StringText(ta, qa, na);
    StringText(tb, qb, nb);
    Diff(c, table, "string %u: original \"%s\", patched \"%s\"", index, ta, tb);
}

/* Key names: vsc byte, then a string pointer. */
static void NameRecord(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                       unsigned len)
{
    const unsigned char *qa = Bytes(c, c->a, table, ra + KN_SCAN(c->p), 1);
    const unsigned char *qb = Bytes(c, c->b, table, rb + KN_SCAN(c->p), 1);
    Off sa, sb;
    (void)len;
    if (!qa || !qb)
        return;
    if (*qa != *qb)
        Diff(c, table, "record %u: scan 0x%02X in the original, 0x%02X in the patched image",
             index, *qa, *qb);
    if (PointerPair(c, table, ra + KN_NAME(c->p), rb + KN_NAME(c->p), 0, &sa, &sb))
        CompareText(c, table, index, sa, sb);
}

/* Dead key names: an array of string pointers. */
static void DeadNameRecord(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                           unsigned len)
{
    Off sa, sb;
    (void)len;
    if (PointerPair(c, table, ra, rb, 0, &sa, &sb))
        CompareText(c, table, index, sa, sb);
}

/* A record of the E0 or E1 list: the first record with an expected scan
 * byte takes the expected VK. */
static void ScanRecord(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                       unsigned len)
{
    const unsigned char *qa = Bytes(c, c->a, table, ra, len);
    const unsigned char *qb = Bytes(c, c->b, table, rb, len);
    unsigned char want[4];
    unsigned scan;
    if (!qa || !qb)
        return;
    c->listCount = index + 1;
    memcpy(want, qa, 4);
    scan = qa[0];
    if (c->listWant[scan].set && !c->listMatched[scan]) {
        c->listMatched[scan] = 1;
        want[2] = (unsigned char)c->listWant[scan].vk;
        want[3] = (unsigned char)(c->listWant[scan].vk >> 8);
    }
    if (memcmp(qb, want, 4) == 0)
        return;
    if (qa[0] != qb[0] || qa[1] != qb[1])
        CheckRecord(c, table, index, qa, want, qb, 4);
    else if (memcmp(want, qa, 4) == 0)
        Diff(c, table, "record %u, scan 0x%02X: VK 0x%04X in the original, 0x%04X in the patched image",
             index, scan, Get16(qa + 2), Get16(qb + 2));
    else
        Diff(c, table, "record %u, scan 0x%02X: VK 0x%04X in the original, 0x%04X in the patched image, expected 0x%04X",
             index, scan, Get16(qa + 2), Get16(qb + 2), Get16(want + 2));
}

static void CompareScanList(Compare *c, const char *table, Off at, const Want *want,
                            unsigned *first, unsigned *count)
{
    Off la, lb;
    unsigned scan;
    c->listWant = want;
    c->listCount = 0;
    memset(c->listMatched, 0, sizeof c->listMatched);
    if (PointerPair(c, table, c->a->tables + at, c->b->tables + at, 0, &la, &lb)) {
        unsigned diffs = c->diffs;
        WalkList(c, table, la, lb, 4, 1, ScanRecord);
        *first = (unsigned)la;
        *count = c->diffs == diffs ? c->listCount : 0;   /* only a sound list is of use */
    }
    for (scan = 0; scan < 256; scan++)
        if (want[scan].set && !c->listMatched[scan])
            Diff(c, table, "expected VK 0x%04X for scan 0x%02X, but the original list has no such record",
                 want[scan].vk, scan);
}

/* A record of a character table: VirtualKey, Attributes, then one 16-bit
 * character per column.  The first VK_DECIMAL record of all tables is the
 * one the installer patches. */
static void CharRecord(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                       unsigned len)
{
    const unsigned char *qa = Bytes(c, c->a, table, ra, len);
    const unsigned char *qb = Bytes(c, c->b, table, rb, len);
    unsigned char want[256];
    if (!qa || !qb)
        return;
    memcpy(want, qa, len);
    if (qa[0] == VK_DECIMAL_KEY && !c->decimalSeen) {
        c->decimalSeen = 1;
        c->found.decimal = (unsigned)ra;
        c->found.decimalColumns = c->columns;
        if (c->want->decimal) {
            if (c->columns < 2) {
                Diff(c, table, "the decimal key record has %u character column(s); two are to become ','",
                     c->columns);
            } else {
                want[2] = COMMA; want[3] = 0;
                want[4] = COMMA; want[5] = 0;
            }
        }
    }
    CheckRecord(c, table, index, qa, want, qb, len);
}

/* The array of character tables: pointer, nModifications, cbSize. */
static void CharTable(Compare *c, const char *table, unsigned index, Off ra, Off rb,
                      unsigned len)
{
    const unsigned char *ca = Bytes(c, c->a, table, ra + WT_COLUMNS(c->p), 2);
    const unsigned char *cb = Bytes(c, c->b, table, rb + WT_COLUMNS(c->p), 2);
    Off la, lb;
    int walk;
    (void)len;
    walk = PointerPair(c, table, ra + WT_CHARS(c->p), rb + WT_CHARS(c->p), 0, &la, &lb);
    if (!ca || !cb)
        return;
    if (ca[0] != cb[0] || ca[1] != cb[1]) {
        Diff(c, table, "table %u: %u columns of %u bytes in the original, %u of %u in the patched image",
             index, ca[0], ca[1], cb[0], cb[1]);
        return;
    }
    if (ca[1] < 2u + 2u * ca[0]) {
        Diff(c, table, "malformed original image: table %u has %u columns in %u-byte records",
             index, ca[0], ca[1]);
        return;
    }
    c->columns = ca[0];
    if (walk)
        WalkList(c, table, la, lb, ca[1], 1, CharRecord);
}

static void CompareModifiers(Compare *c)
{
    const char *table = "modifiers";
    Off ma, mb, la, lb;
    const unsigned char *qa, *qb;
    unsigned bits;
    if (!PointerPair(c, table, c->a->tables + KT_MODIFIERS(c->p), c->b->tables + KT_MODIFIERS(c->p),
                     1, &ma, &mb))
        return;
    if (PointerPair(c, table, ma + MOD_VK_TO_BIT(c->p), mb + MOD_VK_TO_BIT(c->p), 1, &la, &lb))
        WalkList(c, table, la, lb, 2, 1, PlainRecord);
    qa = Bytes(c, c->a, table, ma + MOD_MAX_BITS(c->p), 2);
    qb = Bytes(c, c->b, table, mb + MOD_MAX_BITS(c->p), 2);
    if (!qa || !qb)
        return;
    bits = Get16(qa);
    if (bits != Get16(qb)) {
        CheckValue(c, table, "wMaxModBits", bits, Get16(qb));
        return;
    }
    if (bits > MAX_MOD_BITS) {
        Diff(c, table, "malformed original image: wMaxModBits %u", bits);
        return;
    }
    qa = Bytes(c, c->a, table, ma + MOD_NUMBERS(c->p), bits + 1);
    qb = Bytes(c, c->b, table, mb + MOD_NUMBERS(c->p), bits + 1);
    if (qa && qb)
        CheckRecord(c, "modifiers", 0, qa, qa, qb, bits + 1);
}

static void CompareScanCodes(Compare *c)
{
    const char *table = "scan_codes";
    const unsigned char *qa = Bytes(c, c->a, table, c->a->tables + KT_MAX_SCAN(c->p), 1);
    const unsigned char *qb = Bytes(c, c->b, table, c->b->tables + KT_MAX_SCAN(c->p), 1);
    Off sa, sb;
    unsigned n, i;
    if (!qa || !qb)
        return;
    n = *qa < *qb ? *qa : *qb;
    CheckValue(c, table, "bMaxVSCtoVK", *qa, *qb);
    for (i = n; i < 127; i++)
        if (c->want->scan[i].set)
            Diff(c, table, "expected VK 0x%04X for scan 0x%02X, beyond the table's %u entries",
                 c->want->scan[i].vk, i, n);
    if (n == 0) {
        Diff(c, table, "malformed original image: no entries");
        return;
    }
    if (!PointerPair(c, table, c->a->tables + KT_SCAN_CODES(c->p),
                     c->b->tables + KT_SCAN_CODES(c->p), 1, &sa, &sb))
        return;
    qa = Bytes(c, c->a, table, sa, 2 * n);
    qb = Bytes(c, c->b, table, sb, 2 * n);
    if (!qa || !qb)
        return;
    c->found.scan = (unsigned)sa;
    c->found.scanCount = n;
    for (i = 0; i < n; i++) {
        unsigned va = Get16(qa + 2 * i), vb = Get16(qb + 2 * i);
        unsigned want = i < 127 && c->want->scan[i].set ? c->want->scan[i].vk : va;
        if (vb == want)
            continue;
        if (want == va)
            Diff(c, table, "scan 0x%02X: VK 0x%04X in the original, 0x%04X in the patched image",
                 i, va, vb);
        else
            Diff(c, table, "scan 0x%02X: VK 0x%04X in the original, 0x%04X in the patched image, expected 0x%04X",
                 i, va, vb, want);
    }
}

static void CompareLigatures(Compare *c)
{
    const char *table = "ligatures";
    const unsigned char *qa = Bytes(c, c->a, table, c->a->tables + KT_LG_MAX(c->p), 2);
    const unsigned char *qb = Bytes(c, c->b, table, c->b->tables + KT_LG_MAX(c->p), 2);
    Off la, lb;
    int walk = PointerPair(c, table, c->a->tables + KT_LIGATURES(c->p),
                           c->b->tables + KT_LIGATURES(c->p), 0, &la, &lb);
    if (!qa || !qb)
        return;
    CheckValue(c, table, "nLgMax", qa[0], qb[0]);
    CheckValue(c, table, "cbLgEntry", qa[1], qb[1]);
    if (!walk || qa[1] != qb[1])
        return;
    if (qa[1] < 4) {
        Diff(c, table, "malformed original image: cbLgEntry %u", qa[1]);
        return;
    }
    WalkList(c, table, la, lb, qa[1], 1, PlainRecord);
}

static void CompareDword(Compare *c, const char *table, unsigned at)
{
    const unsigned char *qa = Bytes(c, c->a, table, c->a->tables + (Off)at, 4);
    const unsigned char *qb = Bytes(c, c->b, table, c->b->tables + (Off)at, 4);
    if (qa && qb)
        CheckValue(c, table, "value", Get32(qa), Get32(qb));
}

/* A list reached through a pointer of the descriptor. */
static void CompareList(Compare *c, const char *table, unsigned at, unsigned len,
                        unsigned endLen, RecordFn fn)
{
    Off la, lb;
    if (PointerPair(c, table, c->a->tables + (Off)at, c->b->tables + (Off)at, 0, &la, &lb))
        WalkList(c, table, la, lb, len, endLen, fn);
}

/* Compares every table of the two images; returns the number of differences. */
static unsigned CompareImages(Image *a, Image *b, unsigned p, const Expect *want, int quiet,
                              Found *found)
{
    Compare c;
    memset(&c, 0, sizeof c);
    c.a = a;
    c.b = b;
    c.p = p;
    c.want = want;
    c.quiet = quiet;
    if (a->tables != b->tables && !want->anywhere)
        Diff(&c, "descriptor", "tables at RVA 0x%X in the original, 0x%X in the patched image",
             a->tables, b->tables);

    CompareModifiers(&c);
    {
        Off ta, tb;
        if (PointerPair(&c, "characters", a->tables + KT_CHARS(p), b->tables + KT_CHARS(p), 1,
                        &ta, &tb))
            WalkList(&c, "characters", ta, tb, WT_SIZE(p), p, CharTable);
        if (want->decimal && !c.decimalSeen)
            Diff(&c, "characters", "no VK_DECIMAL record to take ','");
    }
    CompareList(&c, "dead_keys", KT_DEAD_KEYS(p), 8, 4, PlainRecord);
    CompareList(&c, "key_names", KT_KEY_NAMES(p), KN_SIZE(p), 1, NameRecord);
    CompareList(&c, "key_names_ext", KT_KEY_NAMES_EXT(p), KN_SIZE(p), 1, NameRecord);
    CompareList(&c, "key_names_dead", KT_KEY_NAMES_DEAD(p), p, p, DeadNameRecord);
    CompareScanCodes(&c);
    CompareScanList(&c, "e0", KT_E0(p), want->e0, &c.found.e0, &c.found.e0Count);
    CompareScanList(&c, "e1", KT_E1(p), want->e1, &c.found.e1, &c.found.e1Count);
    CompareDword(&c, "locale_flags", KT_LOCALE_FLAGS(p));
    CompareLigatures(&c);
    if (!want->noType) {
        CompareDword(&c, "type", KT_TYPE(p));
        CompareDword(&c, "subtype", KT_SUB_TYPE(p));
    }
    if (found)
        *found = c.found;
    return c.diffs;
}

/* ------------------------------------------------------------------------
 * Loading
 * ---------------------------------------------------------------------- */

typedef void *(__stdcall *DescriptorFn)(void);

static unsigned Pages(unsigned size)
{
    return size / PAGE_BYTES + (size % PAGE_BYTES != 0);
}

static void FreeLayout(Image *im)
{
    free(im->bytes);
    free(im->readable);
    free(im->touched);
    memset(im, 0, sizeof *im);
}

/* Loads a library without running its entry point, calls KbdLayerDescriptor
 * and copies the mapped image.  The caller frees *module (kept loaded so that
 * two libraries can be seen to be two modules) and the image. */
static int LoadLayout(const wchar_t *path, const char *shown, const char *label, Image *im,
                      HMODULE *module)
{
    wchar_t full[MAX_PATH];
    HMODULE lib;
    DescriptorFn fn;
    const IMAGE_DOS_HEADER *dos;
    const IMAGE_NT_HEADERS *nt;
    uintptr_t tables;
    unsigned page, pages;

    memset(im, 0, sizeof *im);
    *module = NULL;
    im->label = label;
    /* A bare name would be looked up along the search path, where a loaded
     * module of the same base name would answer instead. */
    if (!GetFullPathNameW(path, MAX_PATH, full, NULL)) {
        printf("ERROR %s: bad path (error %lu)\n", shown, GetLastError());
        return 0;
    }
    lib = LoadLibraryExW(full, NULL, DONT_RESOLVE_DLL_REFERENCES);
    if (!lib) {
        printf("ERROR %s: cannot load (error %lu)\n", shown, GetLastError());
        return 0;
    }
    *module = lib;
    fn = (DescriptorFn)(void *)GetProcAddress(lib, "KbdLayerDescriptor");
    if (!fn) {
        printf("ERROR %s: no KbdLayerDescriptor export\n", shown);
        return 0;
    }
    dos = (const IMAGE_DOS_HEADER *)lib;
    nt = (const IMAGE_NT_HEADERS *)((const char *)lib + dos->e_lfanew);
    im->size = nt->OptionalHeader.SizeOfImage;   /* same offset in both header forms */
    im->base = (uintptr_t)lib;
    tables = (uintptr_t)fn();
    if (tables <= im->base || tables - im->base >= im->size) {
        printf("ERROR %s: KbdLayerDescriptor returned %p, outside the image\n", shown,
               (void *)tables);
        return 0;
    }
    im->tables = (unsigned)(tables - im->base);

    pages = Pages(im->size);
    im->bytes = calloc(pages, PAGE_BYTES);
    im->readable = calloc(pages, 1);
    if (!im->bytes || !im->readable) {
        printf("ERROR %s: out of memory\n", shown);
        return 0;
    }
    for (page = 0; page < pages; page++) {
        const unsigned char *at = (const unsigned char *)lib + (size_t)page * PAGE_BYTES;
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(at, &info, sizeof info) == sizeof info && info.State == MEM_COMMIT &&
            !(info.Protect & (PAGE_NOACCESS | PAGE_GUARD))) {
            memcpy(im->bytes + (size_t)page * PAGE_BYTES, at, PAGE_BYTES);
            im->readable[page] = 1;
        }
    }
    return 1;
}

/* Loads both libraries.  Two different files must give two modules, or the
 * comparison would read one image twice. */
static int LoadPair(const wchar_t *pathA, const char *shownA, const wchar_t *pathB,
                    const char *shownB, Image *a, Image *b, HMODULE modules[2])
{
    wchar_t fullA[MAX_PATH], fullB[MAX_PATH];
    int ok = LoadLayout(pathA, shownA, "original", a, &modules[0]);
    ok = LoadLayout(pathB, shownB, "patched", b, &modules[1]) && ok;
    if (ok && modules[0] == modules[1] && GetFullPathNameW(pathA, MAX_PATH, fullA, NULL) &&
        GetFullPathNameW(pathB, MAX_PATH, fullB, NULL) && lstrcmpiW(fullA, fullB) != 0) {
        printf("ERROR %s and %s were loaded as one module\n", shownA, shownB);
        ok = 0;
    }
    return ok;
}

static void FreePair(Image *a, Image *b, HMODULE modules[2])
{
    if (modules[0])
        FreeLibrary(modules[0]);
    if (modules[1])
        FreeLibrary(modules[1]);
    FreeLayout(a);
    FreeLayout(b);
}

/* ------------------------------------------------------------------------
 * Self-test
 * ---------------------------------------------------------------------- */

/* A change the installer could make: new bytes at an RVA, and the option
 * that names it. */
typedef struct {
    const char   *what;
    unsigned      rva, len;
    unsigned char bytes[4], old[4];
    char          option[4][16];   /* argv-style words, "" = none */
} Change;

static unsigned selfFailures;

static void Check(int ok, const char *format, ...)
{
    va_list args;
    printf("  %s ", ok ? "ok  " : "FAIL");
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    putchar('\n');
    if (!ok)
        selfFailures++;
}

static int ParseOptions(int argc, char **argv, int first, Expect *want, unsigned *p);

/* Expectations from the options of the changes selected by `mask`. */
static void ChangesExpect(const Change *changes, unsigned n, unsigned mask, unsigned p,
                          Expect *want)
{
    char *words[1 + 4 * 4];
    unsigned i, j, count = 0;
    memset(want, 0, sizeof *want);
    words[count++] = "self-test";
    for (i = 0; i < n; i++)
        if (mask & (1u << i))
            for (j = 0; j < 4 && changes[i].option[j][0]; j++)
                words[count++] = (char *)changes[i].option[j];
    ParseOptions((int)count, words, 1, want, &p);
}

static void Apply(Image *im, const Change *changes, unsigned n, unsigned mask)
{
    unsigned i;
    for (i = 0; i < n; i++)
        if (mask & (1u << i))
            memcpy(im->bytes + changes[i].rva, changes[i].bytes, changes[i].len);
}

static int Duplicate(const Image *from, Image *to)
{
    *to = *from;
    to->label = "patched";
    to->touched = NULL;
    to->readable = malloc(Pages(from->size));
    to->bytes = malloc(from->size);
    if (!to->bytes || !to->readable)
        return 0;
    memcpy(to->readable, from->readable, Pages(from->size));
    memcpy(to->bytes, from->bytes, from->size);
    return 1;
}

/* Picks the changes: one scan-code entry, the last record of each scan list
 * (found by its scan byte), the decimal characters. */
static unsigned ChooseChanges(const Image *im, const Found *f, Change *changes)
{
    unsigned n = 0, sc, i;
    const struct { const char *name; unsigned first, count; } lists[2] = {
        { "e0", f->e0, f->e0Count }, { "e1", f->e1, f->e1Count } };

    if (f->scanCount > 0) {
        Change *ch = &changes[n++];
        unsigned old;
        sc = f->scanCount > 0x10 ? 0x10 : f->scanCount - 1;
        old = Get16(im->bytes + f->scan + 2 * sc) ^ 0x0103;   /* another key, other flags */
        memset(ch, 0, sizeof *ch);
        ch->what = "scan-code entry";
        ch->rva = f->scan + 2 * sc;
        ch->len = 2;
        memcpy(ch->old, im->bytes + ch->rva, 2);
        ch->bytes[0] = (unsigned char)old;
        ch->bytes[1] = (unsigned char)(old >> 8);
        strcpy(ch->option[0], "--vk");
        sprintf(ch->option[1], "%02X=%04X", sc, Get16(ch->bytes));
    }
    for (i = 0; i < 2; i++) {
        Change *ch;
        unsigned last, scan, at;
        if (!lists[i].count)
            continue;
        last = lists[i].first + 4 * (lists[i].count - 1);
        scan = im->bytes[last];
        for (at = lists[i].first; im->bytes[at] != scan; at += 4)
            ;   /* the first record of that scan is the one patched */
        ch = &changes[n++];
        memset(ch, 0, sizeof *ch);
        ch->what = lists[i].name;
        ch->rva = at + 2;
        ch->len = 2;
        memcpy(ch->old, im->bytes + ch->rva, 2);
        ch->bytes[0] = (unsigned char)(ch->old[0] ^ 0x05);
        ch->bytes[1] = ch->old[1];
        sprintf(ch->option[0], "--%s", lists[i].name);
        sprintf(ch->option[1], "%02X=%04X", scan, Get16(ch->bytes));
    }
    if (f->decimalColumns >= 2) {
        Change *ch = &changes[n++];
        memset(ch, 0, sizeof *ch);
        ch->what = "decimal characters";
        ch->rva = f->decimal + 2;
        ch->len = 4;
        memcpy(ch->old, im->bytes + ch->rva, 4);
        ch->bytes[0] = COMMA;
        ch->bytes[2] = COMMA;
        strcpy(ch->option[0], "--decimal");
    }
    return n;
}

/* RVA -> file offset through the section table of the file's own bytes. */
static long FileOffset(const unsigned char *file, size_t size, unsigned rva)
{
    unsigned pe, sections, count, i;
    if (size < 0x40)
        return -1;
    pe = Get32(file + 0x3C);
    if ((Off)pe + 24 > size)
        return -1;
    count = Get16(file + pe + 6);
    sections = pe + 24 + Get16(file + pe + 20);
    for (i = 0; i < count && (Off)sections + 40 * (i + 1) <= size; i++) {
        const unsigned char *s = file + sections + 40 * i;
        unsigned va = Get32(s + 12), raw = Get32(s + 16), at = Get32(s + 20);
        if (rva >= va && rva - va < raw && (Off)at + raw <= size)
            return (long)(at + (rva - va));
    }
    return -1;
}

static unsigned char *ReadWholeFile(const wchar_t *path, size_t *size)
{
    FILE *f = _wfopen(path, L"rb");
    unsigned char *data = NULL;
    long length;
    if (!f)
        return NULL;
    if (fseek(f, 0, SEEK_END) == 0 && (length = ftell(f)) > 0 && fseek(f, 0, SEEK_SET) == 0 &&
        (data = malloc((size_t)length)) != NULL) {
        if (fread(data, 1, (size_t)length, f) == (size_t)length) {
            *size = (size_t)length;
        } else {
            free(data);
            data = NULL;
        }
    }
    fclose(f);
    return data;
}

static int WriteWholeFile(const wchar_t *path, const unsigned char *data, size_t size)
{
    FILE *f = _wfopen(path, L"wb");
    int ok;
    if (!f)
        return 0;
    ok = fwrite(data, 1, size, f) == size;
    return fclose(f) == 0 && ok;
}

/* A second walk of the tables, through our own structures and the
 * compiler's layout of them (native pointer form only), counting the bytes
 * the comparison never read: each would be a blind spot. */
typedef struct {
    const Image *im;
    unsigned     total, missed, first;
    int          broken;   /* a pointer led outside the image */
} Coverage;

/* The bytes at a native address of the image, in its copy; counted when `count`. */
static const void *Native(Coverage *cv, const void *address, unsigned len, int count)
{
    uintptr_t v = (uintptr_t)address;
    unsigned rva, i;
    if (v <= cv->im->base || v - cv->im->base > cv->im->size ||
        len > cv->im->size - (v - cv->im->base)) {
        cv->broken = 1;
        return NULL;
    }
    rva = (unsigned)(v - cv->im->base);
    for (i = 0; count && i < len; i++, cv->total++)
        if (!cv->im->touched[rva + i] && cv->missed++ == 0)
            cv->first = rva + i;
    return cv->im->bytes + rva;
}

/* The native address of a member of a structure that lives in the copy. */
#define AT(cv, member) ((const void *)((cv)->im->base + \
                          ((const unsigned char *)&(member) - (cv)->im->bytes)))
#define COVER(cv, member) Native((cv), AT((cv), member), sizeof(member), 1)

static void CoverString(Coverage *cv, const KL_WCHAR *text)
{
    unsigned n;
    for (n = 0; n < MAX_CHARS; n++) {
        const KL_WCHAR *ch = Native(cv, text + n, 2, 1);
        if (!ch || !*ch)
            return;
    }
}

static void CoverNames(Coverage *cv, const KL_VSC_LPWSTR *names)
{
    unsigned i;
    for (i = 0; names && i < MAX_RECORDS; i++) {
        const KL_VSC_LPWSTR *n = Native(cv, names + i, sizeof *n, 0);
        if (!n || !COVER(cv, n->vsc) || !n->vsc)
            return;
        COVER(cv, n->pwsz);
        CoverString(cv, n->pwsz);
    }
}

static void CoverRecords(Coverage *cv, const void *first, unsigned len, unsigned endLen)
{
    unsigned i;
    for (i = 0; first && i < MAX_RECORDS; i++) {
        const unsigned char *record = (const unsigned char *)first + i * len;
        const unsigned char *r = Native(cv, record, endLen, 0);
        if (!r)
            return;
        if (AllZero(r, endLen)) {
            Native(cv, record, endLen, 1);   /* of the end record, only what ends it is read */
            return;
        }
        if (!Native(cv, record, len, 1))
            return;
    }
}

static void CoverTables(Coverage *cv)
{
    const KL_KBDTABLES *t = Native(cv, (const void *)(cv->im->base + cv->im->tables), sizeof *t, 0);
    const KL_MODIFIERS *m;
    unsigned i;
    if (!t)
        return;
    COVER(cv, t->pCharModifiers); COVER(cv, t->pVkToWcharTable); COVER(cv, t->pDeadKey);
    COVER(cv, t->pKeyNames); COVER(cv, t->pKeyNamesExt); COVER(cv, t->pKeyNamesDead);
    COVER(cv, t->pusVSCtoVK); COVER(cv, t->bMaxVSCtoVK); COVER(cv, t->pVSCtoVK_E0);
    COVER(cv, t->pVSCtoVK_E1); COVER(cv, t->fLocaleFlags); COVER(cv, t->nLgMax);
    COVER(cv, t->cbLgEntry); COVER(cv, t->pLigature); COVER(cv, t->dwType); COVER(cv, t->dwSubType);

    m = Native(cv, t->pCharModifiers, offsetof(KL_MODIFIERS, ModNumber), 0);
    if (m && COVER(cv, m->pVkToBit) && COVER(cv, m->wMaxModBits)) {
        CoverRecords(cv, m->pVkToBit, sizeof(KL_VK_TO_BIT), 1);
        Native(cv, (const unsigned char *)t->pCharModifiers + offsetof(KL_MODIFIERS, ModNumber),
               m->wMaxModBits + 1u, 1);
    }
    for (i = 0; t->pVkToWcharTable && i < MAX_RECORDS; i++) {
        const KL_VK_TO_WCHAR_TABLE *w = Native(cv, t->pVkToWcharTable + i, sizeof *w, 0);
        if (!w || !COVER(cv, w->pVkToWchars) || !w->pVkToWchars)
            break;
        COVER(cv, w->nModifications);
        COVER(cv, w->cbSize);
        CoverRecords(cv, w->pVkToWchars, w->cbSize, 1);
    }
    CoverRecords(cv, t->pDeadKey, sizeof(KL_DEADKEY), 4);
    CoverNames(cv, t->pKeyNames);
    CoverNames(cv, t->pKeyNamesExt);
    for (i = 0; t->pKeyNamesDead && i < MAX_RECORDS; i++) {
        KL_WCHAR *const *name = Native(cv, t->pKeyNamesDead + i, sizeof *name, 1);
        if (!name || !*name)
            break;
        CoverString(cv, *name);
    }
    Native(cv, t->pusVSCtoVK, 2u * t->bMaxVSCtoVK, 1);
    CoverRecords(cv, t->pVSCtoVK_E0, sizeof(KL_VSC_VK), 1);
    CoverRecords(cv, t->pVSCtoVK_E1, sizeof(KL_VSC_VK), 1);
    if (t->cbLgEntry)
        CoverRecords(cv, t->pLigature, t->cbLgEntry, 1);
}

/* The whole path, files included: the file against itself, then a patched
 * copy with the same file name in another folder, loaded next to it. */
static void SelfTestFiles(const wchar_t *path, const char *shown, unsigned p,
                          const Change *changes, unsigned n)
{
    wchar_t folder[MAX_PATH], copy[MAX_PATH];
    const wchar_t *name = path + wcslen(path);
    unsigned char *file;
    size_t size = 0;
    unsigned i, all = (1u << n) - 1;
    int patched = 1;
    Expect want, none;
    Image a, b;
    HMODULE modules[2];

    memset(&none, 0, sizeof none);
    if (LoadPair(path, shown, path, shown, &a, &b, modules))
        Check(CompareImages(&a, &b, p, &none, 0, NULL) == 0, "the file against itself: accepted");
    else
        Check(0, "loading the file twice");
    FreePair(&a, &b, modules);

    while (name > path && name[-1] != L'\\' && name[-1] != L'/')
        name--;
    if (!GetTempPathW(MAX_PATH, folder) ||
        wcslen(folder) + wcslen(name) + 32 >= MAX_PATH) {
        Check(0, "temp folder for the file copy");
        return;
    }
    wcscat(folder, L"compare_layout_");
    _ultow(GetCurrentProcessId(), folder + wcslen(folder), 10);
    CreateDirectoryW(folder, NULL);
    wcscpy(copy, folder);
    wcscat(copy, L"\\");
    wcscat(copy, name);

    file = ReadWholeFile(path, &size);
    for (i = 0; file && i < n; i++) {
        long at = FileOffset(file, size, changes[i].rva);
        if (at < 0 || (size_t)at + changes[i].len > size)
            patched = 0;
        else
            memcpy(file + at, changes[i].bytes, changes[i].len);
    }
    if (!file || !patched || !WriteWholeFile(copy, file, size)) {
        Check(0, "writing a patched copy of the file");
    } else {
        ChangesExpect(changes, n, all, p, &want);
        if (LoadPair(path, shown, copy, "the patched copy", &a, &b, modules)) {
            Check(modules[0] != modules[1], "a copy with the same file name in another folder loads as a second module");
            Check(CompareImages(&a, &b, p, &want, 1, NULL) == 0,
                  "the patched file copy, all changes named: accepted");
            Check(CompareImages(&a, &b, p, &none, 1, NULL) > 0,
                  "the patched file copy, no change named: refused");
        } else {
            Check(0, "loading the original and the patched file copy");
        }
        FreePair(&a, &b, modules);
    }
    free(file);
    DeleteFileW(copy);
    RemoveDirectoryW(folder);
}

static int SelfTest(const wchar_t *path, const char *shown, unsigned p)
{
    Image orig, copy;
    HMODULE module;
    Expect want, none;
    Found found;
    Change changes[4];
    unsigned n, i, all, at, touched = 0, missed = 0, firstMissed = 0;

    memset(&none, 0, sizeof none);
    memset(&copy, 0, sizeof copy);
    printf("%s: self-test (%u-bit pointers)\n", shown, 8 * p);
    if (!LoadLayout(path, shown, "original", &orig, &module) ||
        !(orig.touched = calloc(orig.size, 1)) || !Duplicate(&orig, &copy)) {
        if (module)
            FreeLibrary(module);
        FreeLayout(&orig);
        FreeLayout(&copy);
        printf("RESULT: FAIL\n");
        return 1;
    }

    /* Identical images; this also learns where the tables lie and which
     * bytes the comparison depends on. */
    Check(CompareImages(&orig, &copy, p, &none, 0, &found) == 0, "identical copy: accepted");
    n = ChooseChanges(&orig, &found, changes);
    all = (1u << n) - 1;
    for (i = 0; i < n; i++)
        printf("  change: %s at RVA 0x%X (%s%s%s)\n", changes[i].what, changes[i].rva,
               changes[i].option[0], changes[i].option[1][0] ? " " : "", changes[i].option[1]);
    if (found.decimalColumns < 2)
        printf("  (the decimal key record has %u column(s): no decimal change)\n",
               found.decimalColumns);
    Check(found.scanCount > 0 && found.e0Count > 0, "the scan-code table and the E0 list were found");

    ChangesExpect(changes, n, all, p, &want);
    Apply(&copy, changes, n, all);
    Check(CompareImages(&orig, &copy, p, &want, 0, NULL) == 0, "all changes made and named: accepted");

    for (i = 0; i < n; i++) {
        int unchanged = memcmp(changes[i].old, changes[i].bytes, changes[i].len) == 0;
        Expect partial;
        if (unchanged) {
            printf("  (%s: the original already holds the new value)\n", changes[i].what);
            continue;
        }
        ChangesExpect(changes, n, all & ~(1u << i), p, &partial);
        Check(CompareImages(&orig, &copy, p, &partial, 1, NULL) > 0,
              "%s made but not named: refused", changes[i].what);
        memcpy(copy.bytes + changes[i].rva, changes[i].old, changes[i].len);
        Check(CompareImages(&orig, &copy, p, &want, 1, NULL) > 0,
              "%s named but not made: refused", changes[i].what);
        memcpy(copy.bytes + changes[i].rva, changes[i].bytes, changes[i].len);
    }
    if (found.decimalColumns < 2) {
        Expect decimal;
        memset(&decimal, 0, sizeof decimal);
        decimal.decimal = 1;
        Check(CompareImages(&orig, &copy, p, &decimal, 1, NULL) > 0,
              "--decimal without a two-column decimal record: refused");
    }
    {
        Expect absent = want;
        unsigned scan = 0x7F;   /* not a key of any E0 list */
        if (found.e0Count && !absent.e0[scan].set) {
            absent.e0[scan].set = 1;
            absent.e0[scan].vk = 0x0001;
            Check(CompareImages(&orig, &copy, p, &absent, 1, NULL) > 0,
                  "an E0 change for a scan byte the list lacks: refused");
        }
    }

    if (p == sizeof(void *)) {
        Coverage cv;
        memset(&cv, 0, sizeof cv);
        cv.im = &orig;
        CoverTables(&cv);
        if (cv.missed || cv.broken)
            Check(0, "the tables walked through our own structures: %u of %u bytes never read by the comparison (the first at RVA 0x%X)%s",
                  cv.missed, cv.total, cv.first, cv.broken ? ", a pointer outside the image" : "");
        else
            Check(1, "the tables walked through our own structures: all %u bytes read by the comparison",
                  cv.total);
    } else {
        printf("  (our own structures have native pointers: no second walk of these tables)\n");
    }

    /* Every byte the comparison reads, changed alone on top of the expected
     * changes, must be noticed; all the bytes it does not read, changed
     * together, must not matter. */
    for (at = 0; at < orig.size; at++) {
        unsigned char keep;
        if (!orig.touched[at])
            continue;
        touched++;
        keep = copy.bytes[at];
        copy.bytes[at] ^= 0xFF;
        if (CompareImages(&orig, &copy, p, &want, 1, NULL) == 0 && missed++ == 0)
            firstMissed = at;
        copy.bytes[at] = keep;
    }
    if (missed)
        Check(0, "each of the %u bytes the tables occupy, changed alone: refused (%u missed, the first at RVA 0x%X)",
              touched, missed, firstMissed);
    else
        Check(1, "each of the %u bytes the tables occupy, changed alone: refused", touched);
    for (at = 0; at < orig.size; at++)
        if (!orig.touched[at])
            copy.bytes[at] ^= 0xFF;
    Check(CompareImages(&orig, &copy, p, &want, 0, NULL) == 0,
          "the other %u bytes of the image, all changed: accepted", orig.size - touched);

    FreeLibrary(module);
    FreeLayout(&orig);
    FreeLayout(&copy);

    SelfTestFiles(path, shown, p, changes, n);

    printf("%s\n", selfFailures ? "RESULT: FAIL" : "RESULT: OK");
    return selfFailures ? 1 : 0;
}

/* ------------------------------------------------------------------------
 * Command line
 * ---------------------------------------------------------------------- */

static int ParseHex(const char *s, size_t length, unsigned max, unsigned *value)
{
    size_t i;
    unsigned v = 0;
    if (length == 0 || length > 4)
        return 0;
    for (i = 0; i < length; i++) {
        char ch = s[i];
        unsigned digit;
        if (ch >= '0' && ch <= '9')
            digit = (unsigned)(ch - '0');
        else if (ch >= 'a' && ch <= 'f')
            digit = (unsigned)(ch - 'a' + 10);
        else if (ch >= 'A' && ch <= 'F')
            digit = (unsigned)(ch - 'A' + 10);
        else
            return 0;
        v = v * 16 + digit;
    }
    if (v > max)
        return 0;
    *value = v;
    return 1;
}

/* "SC=VK" in hexadecimal. */
static int ParsePair(const char *text, unsigned minScan, unsigned maxScan, Want *table)
{
    const char *eq = strchr(text, '=');
    unsigned scan, vk;
    if (!eq || !ParseHex(text, (size_t)(eq - text), maxScan, &scan) || scan < minScan ||
        !ParseHex(eq + 1, strlen(eq + 1), 0xFFFF, &vk))
        return 0;
    table[scan].set = 1;   /* a later option for the same scan code wins, as in the installer */
    table[scan].vk = (unsigned short)vk;
    return 1;
}

/* Options from argv[first] on; 0 = a bad option (reported on stderr). */
static int ParseOptions(int argc, char **argv, int first, Expect *want, unsigned *p)
{
    int i;
    for (i = first; i < argc; i++) {
        const char *arg = argv[i];
        if (strcmp(arg, "--pointers=64") == 0) {
            *p = 8;
        } else if (strcmp(arg, "--pointers=32") == 0 && sizeof(void *) == 4) {
            *p = 4;
        } else if (strcmp(arg, "--decimal") == 0) {
            want->decimal = 1;
        } else if (strcmp(arg, "--tables-anywhere") == 0) {
            want->anywhere = 1;
        } else if (strcmp(arg, "--no-type") == 0) {
            want->noType = 1;
        } else if ((strcmp(arg, "--vk") == 0 || strcmp(arg, "--e0") == 0 ||
                    strcmp(arg, "--e1") == 0) && i + 1 < argc) {
            int ok;
            i++;
            if (arg[2] == 'v')
                ok = ParsePair(argv[i], 0x00, 0x7E, want->scan);
            else
                ok = ParsePair(argv[i], 0x01, 0xFF, arg[3] == '0' ? want->e0 : want->e1);
            if (!ok) {
                fprintf(stderr, "bad %s value '%s' (hex SC=VK; scan %s)\n", arg, argv[i],
                        arg[2] == 'v' ? "00-7E" : "01-FF");
                return 0;
            }
        } else if (strcmp(arg, "--pointers=32") == 0) {
            fprintf(stderr, "the x64 build reads 64-bit pointers only\n");
            return 0;
        } else {
            fprintf(stderr, "unknown option '%s' (or its value is missing)\n", arg);
            return 0;
        }
    }
    return 1;
}

static void Widen(const char *text, wchar_t *wide)
{
    if (!MultiByteToWideChar(CP_ACP, 0, text, -1, wide, MAX_PATH))
        wide[0] = 0;
}

int main(int argc, char **argv)
{
    Expect want;
    unsigned p = (unsigned)sizeof(void *);
    wchar_t pathA[MAX_PATH], pathB[MAX_PATH];
    Image a, b;
    HMODULE modules[2] = { NULL, NULL };
    int ok;

    memset(&want, 0, sizeof want);
    if (argc >= 3 && strcmp(argv[1], "--self-test") == 0) {
        if (!ParseOptions(argc, argv, 3, &want, &p) || want.decimal || want.anywhere || want.noType) {
            fprintf(stderr, "usage: %s --self-test LAYOUT.dll [--pointers=64]\n", argv[0]);
            return 2;
        }
        Widen(argv[2], pathA);
        return SelfTest(pathA, argv[2], p);
    }
    if (argc < 3 || !ParseOptions(argc, argv, 3, &want, &p)) {
        fprintf(stderr,
                "usage: %s ORIGINAL.dll PATCHED.dll [--pointers=64] [--vk SC=VK]... "
                "[--e0 SC=VK]... [--e1 SC=VK]... [--decimal] [--tables-anywhere] [--no-type]\n"
                "       %s --self-test LAYOUT.dll [--pointers=64]\n", argv[0], argv[0]);
        return 2;
    }
    Widen(argv[1], pathA);
    Widen(argv[2], pathB);
    printf("%s -> %s (%u-bit pointers)\n", argv[1], argv[2], 8 * p);
    ok = LoadPair(pathA, argv[1], pathB, argv[2], &a, &b, modules);
    if (ok)
        ok = CompareImages(&a, &b, p, &want, 0, NULL) == 0;
    FreePair(&a, &b, modules);
    printf("RESULT: %s\n", ok ? "OK" : "FAIL");
    return ok ? 0 : 1;
}
