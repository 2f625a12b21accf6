// HTK's keywords: their codes, as binary files carry them, their names for messages and the
// lookup of a text keyword; and the canonical spelling of a parameter kind.
#include "htk/htkSource.h"

#include <cstring>

namespace mac2mod::htk {

namespace {

struct keywordEntry {
    int code;
    const char *name;
};

const keywordEntry keywords[] = {
    {BEGINHMM, "BEGINHMM"}, {USE, "USE"}, {ENDHMM, "ENDHMM"}, {NUMMIXES, "NUMMIXES"},
    {NUMSTATES, "NUMSTATES"}, {STREAMINFO, "STREAMINFO"}, {VECSIZE, "VECSIZE"},
    {NULLD, "NULLD"}, {POISSOND, "POISSOND"}, {GAMMAD, "GAMMAD"}, {RELD, "RELD"},
    {GEND, "GEND"}, {DIAGC, "DIAGC"}, {FULLC, "FULLC"}, {XFORMC, "XFORMC"}, {STATE, "STATE"},
    {TMIX, "TMIX"}, {MIXTURE, "MIXTURE"}, {STREAM, "STREAM"}, {SWEIGHTS, "SWEIGHTS"},
    {MEAN, "MEAN"}, {VARIANCE, "VARIANCE"}, {INVCOVAR, "INVCOVAR"}, {XFORM, "XFORM"},
    {GCONST, "GCONST"}, {DURATION, "DURATION"}, {INVDIAGC, "INVDIAGC"}, {TRANSP, "TRANSP"},
    {DPROB, "DPROB"}, {LLTC, "LLTC"}, {LLTCOVAR, "LLTCOVAR"}, {PROJSIZE, "PROJSIZE"},
    {XFORMKIND, "XFORMKIND"}, {PARENTXFORM, "PARENTXFORM"}, {NUMXFORMS, "NUMXFORMS"},
    {XFORMSET, "XFORMSET"}, {LINXFORM, "LINXFORM"}, {OFFSET, "OFFSET"}, {BIAS, "BIAS"},
    {LOGDET, "LOGDET"}, {BLOCKINFO, "BLOCKINFO"}, {BLOCK, "BLOCK"}, {BASECLASS, "BASECLASS"},
    {CLASS, "CLASS"}, {XFORMWGTSET, "XFORMWGTSET"}, {CLASSXFORM, "CLASSXFORM"},
    {MMFIDMASK, "MMFIDMASK"}, {PARAMETERS, "PARAMETERS"}, {NUMCLASSES, "NUMCLASSES"},
    {ADAPTKIND, "ADAPTKIND"}, {PREQUAL, "PREQUAL"}, {INPUTXFORM, "INPUTXFORM"},
    {RCLASS, "RCLASS"}, {REGTREE, "REGTREE"}, {NODE, "NODE"}, {TNODE, "TNODE"},
    {HMMSETID, "HMMSETID"}, {EOFSYM, "EOF"},
};

// The keywords by code, with their brackets, for messages and for the lookup.
struct keywordTable {
    std::string names[128];
    // Open addressing over a hash of the upper-cased name: a handful of probes at most.
    static constexpr unsigned SLOTS = 256;
    int slots[SLOTS];

    static unsigned hash(const char *text, size_t n)
    {
        unsigned h = 2166136261u;
        for (size_t k = 0; k < n; k++)
            h = (h ^ static_cast<unsigned char>(text[k])) * 16777619u;
        return h;
    }

    keywordTable()
    {
        for (int &slot : slots)
            slot = -1;
        for (const keywordEntry &entry : keywords) {
            names[entry.code] = std::string("<") + entry.name + ">";
            unsigned h = hash(entry.name, std::strlen(entry.name)) % SLOTS;
            while (slots[h] >= 0)
                h = (h + 1) % SLOTS;
            slots[h] = entry.code;
        }
    }

    int find(const char *upper, size_t n) const
    {
        for (unsigned h = hash(upper, n) % SLOTS; slots[h] >= 0; h = (h + 1) % SLOTS) {
            const std::string &name = names[slots[h]];
            if (name.size() == n + 2 && std::memcmp(name.data() + 1, upper, n) == 0)
                return slots[h];
        }
        return -1;
    }
};

const keywordTable &table()
{
    static const keywordTable instance;
    return instance;
}

}  // namespace

int keywordCode(const char *upper, size_t n)
{
    return table().find(upper, n);
}

bool binaryKeywordKnown(int code)
{
    return code <= PROJSIZE || (code >= XFORMKIND && code <= TNODE) || code == HMMSETID;
}

const char *keywordName(int code)
{
    if (code >= 0 && code < 128 && !table().names[code].empty())
        return table().names[code].c_str();
    if (code == PARMKIND)
        return "a parameter kind";
    return "<?>";
}

std::string parameterKind(const std::string &upper)
{
    static const char *const bases[] = {"WAVEFORM", "LPC",   "LPREFC", "LPCEPSTRA",
                                        "LPDELCEP", "IREFC", "MFCC",   "FBANK",
                                        "MELSPEC",  "USER",  "DISCRETE", "PLP", "ANON"};
    static const char qualifierOrder[] = "EDNATCKZ0V";
    size_t cut = upper.find('_');
    std::string base = upper.substr(0, cut);
    bool known = false;
    for (const char *b : bases)
        known = known || base == b;
    if (!known)
        return "";
    bool has[sizeof qualifierOrder] = {};
    if (base == "LPDELCEP") {
        base = "LPCEPSTRA";
        has[1] = true;   // _D
    }
    while (cut != std::string::npos) {
        if (cut + 2 != upper.size() && (cut + 2 > upper.size() || upper[cut + 2] != '_'))
            return "";
        char q = upper[cut + 1];
        if (q != 'F') {
            const char *at = std::strchr(qualifierOrder, q);
            if (!at || q == 0)
                return "";
            has[at - qualifierOrder] = true;
        }
        cut = cut + 2 < upper.size() ? cut + 2 : std::string::npos;
    }
    for (size_t k = 0; k + 1 < sizeof qualifierOrder; k++)
        if (has[k])
            base += std::string("_") + qualifierOrder[k];
    return base;
}

}  // namespace mac2mod::htk
