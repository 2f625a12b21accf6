// The HTK import: every file's definitions in load order, one macro table for all of them,
// each reference resolved by a copy of the macro's body, the models untied into the set's
// fixed records (htk-mmf.md describes the format; its section 13 is the checklist).
#include "htk/htkImport.h"

#include "htk/htkImporter.h"

namespace mac2mod {

namespace htk {

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

void importer::run(macroClass &set, const std::vector<std::string> &paths)
{
    if (set.MMF.model || set.MMF.modelNum)
        throw error("importHtk: the set to fill is not empty\n", 1);
    if (paths.empty())
        throw error("importHtk: no file to read\n", 1);
    // Every file in memory first: the models are counted (every "~h", and one more per file
    // for a model without a header) so that the array is allocated once; pages of it that are
    // never used are never touched.
    size_t bound = 0, likely = 0;
    for (const std::string &path : paths) {
        sources_.push_back(std::make_unique<source>(path));
        size_t headers = 0;
        bound += sources_.back()->modelHeaderBound(&headers) + 1;
        likely += headers;
    }
    model_.reset(grow(nullptr, 0, bound));
    capacity_ = bound;
    prefaulter_.emplace(model_.get(), static_cast<int>(likely));
    try {
        for (size_t f = 0; f < sources_.size(); f++) {
            file_ = static_cast<int>(f);
            readFile(*sources_[f]);
        }
    } catch (const error &stop) {
        if (kindsBroken_)
            throw limitsRefusal(&stop);
        throw;
    }
    if (kindsBroken_)
        throw limitsRefusal(nullptr);
    if (modelNum_ == 0)
        throw error(paths.back() + ": no model (~h) is defined in the files\n", 1);
    fillSet(set, paths);
}

void importer::readFile(source &in)
{
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
            in.skipAdaptationBody(s.offset);
            summary_.skippedMacros++;
            break;
        }
    }
}

// The body of a shared part (~s, ~m, ~u, ~v, ~t, ~w, ~d) after its introducer s.
void importer::readSharedPart(source &in, const symbol &s)
{
    needOptions(in, s.offset, "a shared part (~s, ~m, ~u, ~v, ~t, ~w, ~d)");
    definition *d = define(in, s);
    std::string where = std::string("~") + s.letter + " \"" + s.text + "\"";
    if (s.letter == 's') {
        hmmState body{};
        ownerState_ = where;
        readState(in, body, where.c_str());
        d->index = static_cast<int>(states_.size());
        states_.push_back(pack(body));
    } else if (s.letter == 'm') {
        owner_ = where;
        gaussianMacro body{};
        body.n = readGaussian(in, body.mixture, 0, where.c_str());
        d->index = static_cast<int>(gaussians_.size());
        gaussians_.push_back(body);
    } else if (s.letter == 'u' || s.letter == 'v') {
        symbol head = expect(in, s.letter == 'u' ? MEAN : VARIANCE, where.c_str());
        owner_ = where;
        vectorMacro body{};
        body.n = readVector(in, head, body.values, 0, s.letter == 'u' ? "mean" : "variance");
        d->index = static_cast<int>(vectors_.size());
        vectors_.push_back(body);
    } else if (s.letter == 't') {
        symbol head = expect(in, TRANSP, where.c_str());
        transMacro body{};
        readTransP(in, head, body);
        d->index = static_cast<int>(transitions_.size());
        transitions_.push_back(body);
    } else if (s.letter == 'w') {
        symbol head = expect(in, SWEIGHTS, where.c_str());
        vectorMacro body{};
        body.n = in.integer(head.binary);
        if (body.n != options_.streamNum)
            in.fail(head.offset, "%s: %d stream weights in a set of %d streams", where.c_str(), body.n,
                    options_.streamNum);
        in.reals(head.binary, body.values, body.n);
        d->index = static_cast<int>(weights_.size());
        weights_.push_back(body);
    } else {   // 'd'
        symbol head = in.next();
        if (head.kind != symbol::keyword || head.code != DURATION)
            in.fail(head.offset, "%s: expected <DURATION>, found %s", where.c_str(), describe(head).c_str());
        in.skipReals(head.binary, in.integer(head.binary));
        summary_.skippedMacros++;
        d->index = 0;
    }
}

void importer::needOptions(source &in, long offset, const char *what)
{
    if (!optionsFixed_)
        in.fail(offset, "%s before the global options (~o): the file giving them must come first", what);
}

definition *importer::define(source &in, const symbol &s)
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
    return &d;
}

definition &importer::use(source &in, const symbol &s)
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

}  // namespace htk

void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary)
{
    importHtk(set, paths, summary, nullptr);
}

void importHtk(macroClass &set, const std::vector<std::string> &paths, htkImportSummary &summary,
               htkObserver *observer)
{
    summary = htkImportSummary();
    htk::importer(summary, observer).run(set, paths);
}

void importHtk(macroClass &set, const std::vector<std::string> &paths)
{
    htkImportSummary summary;
    importHtk(set, paths, summary);
}

}  // namespace mac2mod
