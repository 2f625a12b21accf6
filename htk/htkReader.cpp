// The import's reader at the top level: each file's definitions in load order, the shared
// parts, and the table of macro names that every use is checked against.
#include "htk/htkReader.h"

namespace mac2mod::htk {

const char *typeName(char letter)
{
    switch (letter) {
    case 's': return "state";
    case 'm': return "mixture component";
    case 'u': return "mean";
    case 'v': return "variance";
    case 't': return "transition matrix";
    case 'w': return "stream weights";
    case 'd': return "duration";
    case 'i': return "inverse covariance";
    case 'c': return "Cholesky covariance";
    case 'x': return "transform";
    default: return "macro";
    }
}

std::string describe(const symbol &s)
{
    if (s.kind == symbol::end)
        return "the end of the file";
    if (s.kind == symbol::macro)
        return std::string("~") + s.letter + (s.letter == 'o' ? "" : " \"" + s.text + "\"");
    if (s.code == PARMKIND)
        return "<" + s.text + ">";
    return keywordName(s.code);
}

void reader::readFile(int file)
{
    file_ = file;
    source &in = *sources_[file];
    bool first = true;
    const int c = in.firstByte();
    if (c >= 0 && c != '~' && c != '<' && c != ':')
        in.fail(in.offset(), "not an HTK model file: it begins with neither a macro (~o, ~h, ...) nor a keyword");
    for (;;) {
        symbol s = in.next();
        if (s.kind == symbol::end)
            return;
        if (s.kind == symbol::keyword && s.code == BEGINHMM) {
            // A model file of one model without a header: named after the file.
            std::string name = in.path();
            size_t slash = name.find_last_of('/');
            if (slash != std::string::npos)
                name = name.substr(slash + 1);
            readModel(in, name, s.offset, true);
            first = false;
            continue;
        }
        if (s.kind != symbol::macro) {
            if (first)
                in.fail(s.offset, "not an HTK model file: it begins with %s, not a macro (~o, ~h, ...)",
                        describe(s).c_str());
            in.fail(s.offset, "expected a macro definition (~o, ~h, ~t, ...), found %s", describe(s).c_str());
        }
        first = false;
        switch (s.letter) {
        case 'o': {
            optionSet given;
            readOptions(in, given, false);
            fixOptions(in, given, s.offset);
            break;
        }
        case 'h':
            readModel(in, s.text, s.offset, false);
            break;
        case 's': case 'm': case 'u': case 'v': case 't': case 'w': case 'd':
            readSharedPart(in, s);
            break;
        case 'i': case 'c': case 'x':
            in.fail(s.offset, "~%c \"%s\": a %s macro; the set holds diagonal variances only", s.letter,
                    s.text.c_str(), typeName(s.letter));
        default:   // r b a f g y j: adaptation; read past
            in.skipAdaptationBody();
            sink_.skipped(skip::macro);
            break;
        }
    }
}

// The body of a shared part (~s, ~m, ~u, ~v, ~t, ~w, ~d) after its introducer s. Its index
// is given once the body is read, so that the body cannot use the macro it defines.
void reader::readSharedPart(source &in, const symbol &s)
{
    needOptions(in, s.offset, "a shared part (~s, ~m, ~u, ~v, ~t, ~w, ~d)");
    definition &d = define(in, s);
    const std::string where = std::string("~") + s.letter + " \"" + s.text + "\"";
    if (s.letter == 's') {
        stateDef body;
        ownerState_ = where;
        readState(in, body, where.c_str());
    } else if (s.letter == 'm') {
        owner_ = where;
        gaussianDef body;
        readGaussian(in, body, 0, where.c_str());
        d.n = body.n;
        sink_.sharedGaussian(body);
    } else if (s.letter == 'u' || s.letter == 'v') {
        readSharedVector(in, s, where, d);
    } else if (s.letter == 't') {
        symbol head = expect(in, TRANSP, where.c_str());
        transDef body{};
        readTransP(in, head, body, true);
        d.n = body.n;
        sink_.sharedTransition(body);
    } else if (s.letter == 'w') {
        symbol head = expect(in, SWEIGHTS, where.c_str());
        vectorDef body{};
        body.n = in.integer(head.binary);
        if (body.n != options_.streamNum)
            in.fail(head.offset, "%s: %d stream weights in a set of %d streams", where.c_str(), body.n,
                    options_.streamNum);
        in.reals(head.binary, body.values, body.n);
        d.n = body.n;
        sink_.sharedWeights(body);
    } else {   // 'd'
        symbol head = in.next();
        if (head.kind != symbol::keyword || head.code != DURATION)
            in.fail(head.offset, "%s: expected <DURATION>, found %s", where.c_str(), describe(head).c_str());
        in.skipReals(head.binary, in.integer(head.binary));
        sink_.skipped(skip::macro);
    }
    d.index = defined_[s.letter - 'a']++;
}

void reader::readSharedVector(source &in, const symbol &s, const std::string &where, definition &d)
{
    const bool mean = s.letter == 'u';
    symbol head = expect(in, mean ? MEAN : VARIANCE, where.c_str());
    owner_ = where;
    vectorDef body{};
    body.n = readVector(in, head, body.values, 0, mean ? "mean" : "variance");
    d.n = body.n;
    sink_.sharedVector(s.letter, body);
}

reader::definition &reader::define(source &in, const symbol &s)
{
    auto &table = macros_[s.letter - 'a'];
    auto found = table.find(s.text);
    if (found != table.end()) {
        const definition &d = found->second;
        in.fail(s.offset, "~%c \"%s\" is defined twice (first at %s)", s.letter, s.text.c_str(),
                sources_[d.file]->place(d.offset).c_str());
    }
    definition &d = table[s.text];
    d.file = file_;
    d.offset = s.offset;
    d.index = -1;
    return d;
}

reader::definition &reader::use(source &in, const symbol &s)
{
    auto &table = macros_[s.letter - 'a'];
    auto found = table.find(s.text);
    if (found == table.end() || found->second.index < 0)
        in.fail(s.offset, "undefined macro ~%c \"%s\": no %s macro of that name is defined before it is used",
                s.letter, s.text.c_str(), typeName(s.letter));
    if (observer_ && found->second.uses == 0)
        observer_->used(std::string("~") + s.letter + " \"" + s.text + "\"");
    found->second.uses++;
    return found->second;
}

int reader::unreferencedMacros() const
{
    int n = 0;
    for (int l = 0; l < 26; l++)
        for (const auto &entry : macros_[l])
            if (entry.second.uses == 0 && l != 'd' - 'a')
                n++;
    return n;
}

symbol reader::expect(source &in, int code, const char *where)
{
    symbol s = in.next();
    if (s.kind != symbol::keyword || s.code != code) {
        if (s.kind == symbol::end)
            in.fail(s.offset, "the file is cut short: %s ends before %s", where, keywordName(code));
        in.fail(s.offset, "%s: expected %s, found %s", where, keywordName(code), describe(s).c_str());
    }
    return s;
}

}  // namespace mac2mod::htk
