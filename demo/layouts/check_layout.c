/*
 * check_layout.c - load a keyboard layout library and print its tables.
 *
 *   check_layout.exe LAYOUT.dll [VARIANT ROW]
 *
 * Build it for the same architecture as the library (the tables use native
 * pointers).  With VARIANT (0, 1, 2) and ROW (0, 1) the program also checks
 * the values expected for kbddemo and exits with 1 when one differs.
 */
#include <windows.h>
#include <stdio.h>
#include <stdlib.h>
#include "kbd_tables.h"

typedef KL_KBDTABLES *(__stdcall *descriptor_fn)(void);

static int failures;

static void expect(int checking, const char *what, unsigned got, unsigned want)
{
    if (!checking)
        return;
    if (got != want) {
        printf("  FAIL %s: got 0x%04X, expected 0x%04X\n", what, got, want);
        failures++;
    }
}

/* Column used for a modifier combination, or -1. */
static int column_for(const KL_KBDTABLES *t, unsigned bits)
{
    unsigned n;
    if (bits > t->pCharModifiers->wMaxModBits)
        return -1;
    n = t->pCharModifiers->ModNumber[bits];
    return n == KL_SHFT_INVALID ? -1 : (int)n;
}

/* Find the record of a virtual key; returns its table or NULL. */
static const KL_VK_TO_WCHAR_TABLE *find_vk(const KL_KBDTABLES *t, unsigned vk,
                                           const KL_BYTE **record)
{
    const KL_VK_TO_WCHAR_TABLE *tab;
    for (tab = t->pVkToWcharTable; tab->pVkToWchars; tab++) {
        const KL_BYTE *p = (const KL_BYTE *)tab->pVkToWchars;
        for (; p[0] != 0; p += tab->cbSize) {
            if (p[0] == vk) {
                *record = p;
                return tab;
            }
        }
    }
    return NULL;
}

static unsigned char_of(const KL_KBDTABLES *t, unsigned vk, unsigned bits)
{
    const KL_BYTE *rec;
    const KL_VK_TO_WCHAR_TABLE *tab = find_vk(t, vk, &rec);
    int col = column_for(t, bits);
    if (!tab || col < 0 || col >= tab->nModifications)
        return KL_WCH_NONE;
    return ((const KL_VK_TO_WCHARS1 *)rec)->wch[col];
}

int main(int argc, char **argv)
{
    wchar_t path[MAX_PATH];
    HMODULE lib;
    descriptor_fn fn;
    KL_KBDTABLES *t;
    const KL_VSC_VK *e;
    const KL_DEADKEY *d;
    const KL_BYTE *rec;
    const KL_VK_TO_WCHAR_TABLE *tab;
    unsigned n, i, vk_1e;
    int checking = argc >= 4, variant = 0, row = 0;

    if (argc < 2) {
        fprintf(stderr, "usage: %s LAYOUT.dll [VARIANT ROW]\n", argv[0]);
        return 2;
    }
    if (checking) {
        variant = atoi(argv[2]);
        row = atoi(argv[3]);
    }
    MultiByteToWideChar(CP_ACP, 0, argv[1], -1, path, MAX_PATH);
    lib = LoadLibraryExW(path, NULL, DONT_RESOLVE_DLL_REFERENCES);
    if (!lib) {
        printf("%s: cannot load (error %lu)\n", argv[1], GetLastError());
        return 1;
    }
    fn = (descriptor_fn)(void *)GetProcAddress(lib, "KbdLayerDescriptor");
    if (!fn) {
        printf("%s: no KbdLayerDescriptor export\n", argv[1]);
        return 1;
    }
    t = fn();
    printf("%s (%d-bit)\n", argv[1], (int)(sizeof(void *) * 8));

    printf("  scan-code entries: %u\n", t->bMaxVSCtoVK);
    expect(checking, "scan-code entries", t->bMaxVSCtoVK, 127);

    printf("  VK of scan 0x10: 0x%04X  0x15: 0x%04X  0x2C: 0x%04X  0x53: 0x%04X\n",
           t->pusVSCtoVK[0x10], t->pusVSCtoVK[0x15], t->pusVSCtoVK[0x2C],
           t->pusVSCtoVK[0x53]);
    expect(checking, "VK 0x10", t->pusVSCtoVK[0x10], variant == 2 ? VK_OEM_7 : 'Q');
    expect(checking, "VK 0x15", t->pusVSCtoVK[0x15],
           variant == 0 ? 'Y' : variant == 1 ? 'Z' : 'F');
    expect(checking, "VK 0x2C", t->pusVSCtoVK[0x2C],
           variant == 0 ? 'Z' : variant == 1 ? 'Y' : VK_OEM_1);
    expect(checking, "VK 0x53", t->pusVSCtoVK[0x53],
           VK_DELETE | KL_KBDNUMPAD | KL_KBDSPECIAL);

    for (n = 0, e = t->pVSCtoVK_E0; e->Vsc; e++)
        n++;
    printf("  E0 list: %u records (first 0x%02X -> 0x%04X)\n", n,
           t->pVSCtoVK_E0[0].Vsc, t->pVSCtoVK_E0[0].Vk);
    expect(checking, "E0 records", n, 38);
    for (n = 0, e = t->pVSCtoVK_E1; e->Vsc; e++)
        n++;
    printf("  E1 list: %u record(s) (first 0x%02X -> 0x%04X)\n", n,
           t->pVSCtoVK_E1[0].Vsc, t->pVSCtoVK_E1[0].Vk);

    tab = find_vk(t, VK_DECIMAL, &rec);
    printf("  decimal key characters:");
    if (tab) {
        for (i = 0; i < tab->nModifications; i++) {
            unsigned c = ((const KL_VK_TO_WCHARS1 *)rec)->wch[i];
            printf(" U+%04X", c);
            if (c >= 0x20 && c < 0x7F)
                printf(" '%c'", (int)c);
        }
        /* Both columns: the installer's decimal comma rewrites the two. */
        expect(checking, "decimal columns", tab->nModifications, 2);
        for (i = 0; i < 2 && i < tab->nModifications; i++)
            expect(checking, "decimal character", ((const KL_VK_TO_WCHARS1 *)rec)->wch[i], '.');
    } else {
        printf(" (none)");
        expect(checking, "decimal key present", 0, 1);
    }
    printf("\n");

    vk_1e = t->pusVSCtoVK[0x1E] & 0xFF;
    printf("  AltGr of scan 0x1E (VK 0x%02X): U+%04X, Shift+AltGr: U+%04X\n", vk_1e,
           char_of(t, vk_1e, KL_KBDCTRL | KL_KBDALT),
           char_of(t, vk_1e, KL_KBDSHIFT | KL_KBDCTRL | KL_KBDALT));
    expect(checking, "AltGr 0x1E", char_of(t, vk_1e, KL_KBDCTRL | KL_KBDALT), 0x0105);

    n = char_of(t, VK_OEM_3, KL_KBDSHIFT);
    for (i = 0, d = t->pDeadKey; d->dwBoth; d++)
        i++;
    printf("  Shift+` : U+%04X%s, dead-key entries: %u", n,
           n == KL_WCH_DEAD ? " (dead key)" : "", i);
    for (d = t->pDeadKey; d->dwBoth; d++)
        if (d->dwBoth == (((KL_DWORD)'~' << 16) | 'a'))
            printf(", ~ + a -> U+%04X", d->wchComposed);
    printf("\n");
    expect(checking, "Shift+`", n, row ? KL_WCH_DEAD : '~');
    expect(checking, "dead-key entries", i, row ? 19 : 0);

    if (checking)
        printf("  %s\n", failures ? "RESULT: FAIL" : "RESULT: OK");
    return failures ? 1 : 0;
}
