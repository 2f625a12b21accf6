"""Pictures of a set or a model file: counts, the distributions of variances, means and mixture
weights, and per model the means, log variances and transitions as heatmaps.

Each draw_* function draws into a matplotlib Axes it is given (matplotlib is imported only
here, when plotting). As a command:

    python3 -m mac2mod.plot INPUT... [--against B] [--table T] [--model NAME...] [--stream S] -o OUT

INPUT is a .mac/.macb macro file, a .mod model file (names from --table), or HTK model files
(several in load order). Two macro or model files as INPUT, or --against B (a macro or model
file, or HTK model files joined by commas), add the comparison of the two, as mmftool diff
makes it: the per-dimension profile and the worst components. OUT ending in .pdf gets a page
per figure; any other OUT is a folder that gets one .png per figure.
"""
import argparse
import os
import sys

import numpy as np

import mac2mod

# Units: the values are those of the features (the front end's units), so axes say "feature units".
VALUE_UNIT = "feature units"


def _pooled(source, stream=0):
    """means, variances (G, V) and weights (G,) of every component of a set or a model file."""
    if isinstance(source, mac2mod.HmmSet):
        pooled = source.gaussians(stream)
        return pooled["means"], pooled["variances"], pooled["weights"]
    states = [state for record in source for state in record.states]
    v = source.vector_size
    means = np.concatenate([s["means"] for s in states]) if states else np.zeros((0, v), np.float32)
    variances = np.concatenate([s["variances"] for s in states]) if states else np.zeros((0, v), np.float32)
    weights = np.exp(np.concatenate([s["log_weights"] for s in states])) if states else np.zeros(0, np.float32)
    return means, variances, weights


def _model_components(source, name, stream=0):
    """Per component of the model: (state number, component number, mean, variance)."""
    rows = []
    if isinstance(source, mac2mod.HmmSet):
        for e, state in enumerate(source[name].states):
            part = state.streams[stream]
            rows += [(e + 2, k + 1, part.means[k], part.variances[k]) for k in range(part.mixture_count)]
    else:
        for e, state in enumerate(source[name].states):
            rows += [(e + 2, k + 1, m, v) for k, (m, v) in enumerate(zip(state["means"], state["variances"]))]
    return rows


def draw_counts(ax, source):
    """The counts of a set or model file as a table of text."""
    ax.axis("off")
    if isinstance(source, mac2mod.HmmSet):
        states = sum(model.state_count - 2 for model in source)
        lines = [("from", ", ".join(os.path.basename(p) for p in source.sources)),
                 ("models", len(source)), ("emitting states", states),
                 ("streams", source.stream_count), ("vector sizes", ", ".join(map(str, source.vector_sizes)))]
        lines += [(f"components, stream {s + 1}", len(source.gaussians(s)["weights"])) for s in range(source.stream_count)]
    else:
        lines = [("from", "a model file (of \"sil\" its first state only)"),
                 ("models", len(source)), ("emitting states", sum(len(r.states) for r in source)),
                 ("vector size", source.vector_size), ("components", len(_pooled(source)[2]))]
    text = "\n".join(f"{label:<24}{value}" for label, value in lines)
    ax.text(0.02, 0.95, text, family="monospace", fontsize=11, va="top", transform=ax.transAxes)
    ax.set_title("Counts")


def _draw_bars(ax, values, title, xlabel, ylabel):
    kinds, counts = np.unique(np.asarray(values, dtype=int), return_counts=True)
    ax.bar(kinds, counts, color="tab:blue")
    ax.set_xticks(kinds)
    ax.set_title(title)
    ax.set_xlabel(xlabel)
    ax.set_ylabel(ylabel)


def draw_components_per_state(ax, source, stream=0):
    """How many states have each number of mixture components."""
    if isinstance(source, mac2mod.HmmSet):
        counts = [state.streams[stream].mixture_count for model in source for state in model.states]
    else:
        counts = [len(state["log_weights"]) for record in source for state in record.states]
    _draw_bars(ax, counts, "Components per state", "components", "states")


def draw_states_per_model(ax, source):
    """How many models have each number of emitting states."""
    if isinstance(source, mac2mod.HmmSet):
        counts = [model.state_count - 2 for model in source]
    else:
        counts = [len(record.states) for record in source]
    _draw_bars(ax, counts, "Emitting states per model", "emitting states", "models")


def draw_variance_distribution(ax, source, stream=0, marked=3):
    """Per dimension, the variances of all components (log scale), the smallest ones marked."""
    _, variances, _ = _pooled(source, stream)
    dims = np.arange(1, variances.shape[1] + 1)   # numbered from 1, as mmftool and diff number them
    positive = [column[column > 0] for column in variances.T]
    ax.boxplot(positive, positions=dims, widths=0.6, whis=(0, 100))
    smallest = np.array([column.min() if len(column) else np.nan for column in positive])
    ax.plot(dims, smallest, "v", color="tab:red", label="smallest of the dimension")
    for d in np.argsort(np.nan_to_num(smallest, nan=np.inf))[:marked]:
        ax.annotate(f"{smallest[d]:.3g}", (dims[d], smallest[d]), textcoords="offset points", xytext=(0, -12),
                    ha="center", fontsize=8, color="tab:red")
    ax.set_yscale("log")
    from matplotlib import ticker

    # Less than two decades apart the plain labels show only one or two values.
    ax.yaxis.set_minor_formatter(ticker.LogFormatter(labelOnlyBase=False, minor_thresholds=(2, 0.5)))
    ax.set_xticks(dims)
    ax.tick_params(axis="x", labelsize=8)
    ax.set_title(f"Variances per dimension (stream {stream + 1}, {len(variances)} components; "
                 "boxes: quartiles, whiskers: smallest to largest)")
    ax.set_xlabel("dimension")
    ax.set_ylabel(f"variance ({VALUE_UNIT}\u00b2, log scale)")
    ax.legend(loc="upper right", fontsize=8)


def draw_mean_distribution(ax, source, stream=0):
    """Per dimension, the means of all components."""
    means, _, _ = _pooled(source, stream)
    dims = np.arange(1, means.shape[1] + 1)
    ax.boxplot(list(means.T), positions=dims, widths=0.6, whis=(0, 100))
    ax.axhline(0, color="grey", linewidth=0.5)
    ax.set_xticks(dims)
    ax.tick_params(axis="x", labelsize=8)
    ax.set_title(f"Means per dimension (stream {stream + 1}, {len(means)} components; "
                 "boxes: quartiles, whiskers: smallest to largest)")
    ax.set_xlabel("dimension")
    ax.set_ylabel(f"mean ({VALUE_UNIT})")


def draw_log_weight_distribution(ax, source, stream=0):
    """The natural logarithms of the mixture weights; weights of 0 are counted apart."""
    _, _, weights = _pooled(source, stream)
    from matplotlib import ticker

    positive = weights[weights > 0]
    ax.hist(np.log(positive), bins=int(np.clip(2 * np.sqrt(len(positive)), 5, 60)), color="tab:blue")
    ax.yaxis.set_major_locator(ticker.MaxNLocator(integer=True))
    left_out = len(weights) - len(positive)
    ax.set_title(f"Log mixture weights (stream {stream + 1}, {len(weights)} components"
                 + (f"; {left_out} of weight \u2264 0 not shown)" if left_out else ")"))
    ax.set_xlabel("ln(mixture weight)")
    ax.set_ylabel("components")


def _draw_heatmap(ax, image, rows, title, colour_label, cmap, centred=False):
    limit = np.nanmax(np.abs(image[np.isfinite(image)]), initial=1.0) if centred else None
    # Columns are dimensions numbered from 1; rows keep their indices for the labels.
    picture = ax.imshow(image, aspect="auto", interpolation="nearest", cmap=cmap,
                        vmin=-limit if centred else None, vmax=limit,
                        extent=(0.5, image.shape[1] + 0.5, len(rows) - 0.5, -0.5))
    ax.figure.colorbar(picture, ax=ax, label=colour_label)
    ax.set_yticks(range(len(rows)))
    ax.set_yticklabels([f"state {e}, comp. {k}" for e, k in rows], fontsize=7)
    ax.set_xlabel("dimension")
    ax.set_title(title)


def draw_mean_heatmap(ax, source, name, stream=0):
    """The means of one model, a row per state and component, a column per dimension."""
    parts = _model_components(source, name, stream)
    image = np.array([p[2] for p in parts]) if parts else np.zeros((0, 1))
    _draw_heatmap(ax, image, [p[:2] for p in parts], f"Means of \"{name}\"", f"mean ({VALUE_UNIT})", "RdBu_r",
                  centred=True)


def draw_log_variance_heatmap(ax, source, name, stream=0):
    """The natural logarithms of one model's variances, laid out as draw_mean_heatmap."""
    parts = _model_components(source, name, stream)
    with np.errstate(divide="ignore", invalid="ignore"):
        image = np.log(np.array([p[3] for p in parts])) if parts else np.zeros((0, 1))
    _draw_heatmap(ax, image, [p[:2] for p in parts], f"Log variances of \"{name}\"",
                  f"ln(variance / {VALUE_UNIT}\u00b2)", "viridis")


def draw_transitions(ax, model):
    """A model's transition probabilities, from state (row) to state (column), numbered as in the file."""
    trans = model.trans
    n = len(trans)
    picture = ax.imshow(trans, vmin=0, vmax=1, cmap="Blues")
    ax.figure.colorbar(picture, ax=ax, label="probability", shrink=0.6)
    for i in range(n):
        for j in range(n):
            if trans[i, j]:
                ax.text(j, i, f"{trans[i, j]:.2f}", ha="center", va="center", fontsize=8,
                        color="white" if trans[i, j] > 0.5 else "black")
    ax.set_xticks(range(n))
    ax.set_xticklabels(range(1, n + 1))
    ax.set_yticks(range(n))
    ax.set_yticklabels(range(1, n + 1))
    ax.set_xlabel("to state")
    ax.set_ylabel("from state")
    ax.set_title(f"Transitions of \"{model.name}\"")


def draw_diff_profile(ax, report, measure="meanShiftRms", stream=0):
    """Per dimension, the RMS over all compared components of a measure of mac2mod.diff's report:
    "meanShiftRms" (mean shifts in A's standard deviations) or "logVarianceRatioRms"."""
    profile = next((p["dimensions"] for p in report["profile"] if p["stream"] == stream + 1), [])
    dims = [d["dimension"] for d in profile]
    values = [np.nan if d[measure] is None else d[measure] for d in profile]
    ax.bar(dims, values, color="tab:orange" if measure == "meanShiftRms" else "tab:purple")
    ax.set_xticks(dims)
    ax.tick_params(axis="x", labelsize=8)
    ax.set_xlabel("dimension")
    if measure == "meanShiftRms":
        ax.set_title("RMS of |mean B − mean A| / σ A per dimension")
        ax.set_ylabel("RMS (standard deviations of A)")
    else:
        ax.set_title("RMS of ln(variance B / variance A) per dimension")
        ax.set_ylabel("RMS (natural log of the ratio)")


def draw_diff_worst(ax, report, measure="divergence"):
    """The worst entries of one measure of mac2mod.diff's report, each at its place."""
    entries = [e for e in report["worst"][measure] if e["value"] is not None][::-1]
    labels = [f'{e["model"]}, state {e["state"]}, comp. {e["component"]}'
              + (f', dim. {e["dimension"]}' if "dimension" in e else "") for e in entries]
    ax.barh(range(len(entries)), [e["value"] for e in entries], color="tab:red")
    ax.set_yticks(range(len(entries)))
    ax.set_yticklabels(labels, fontsize=8)
    titles = {"divergence": ("Largest symmetric KL divergences", "divergence (nats)"),
              "meanShift": ("Largest mean shifts", "|mean B − mean A| / σ A"),
              "logVarianceRatio": ("Largest log variance ratios", "|ln(variance B / variance A)|")}
    title, label = titles.get(measure, (measure, "value"))
    ax.set_title(title)
    ax.set_xlabel(label)
    if not entries:
        ax.text(0.5, 0.5, "no component differs", ha="center", va="center", transform=ax.transAxes)


def diff_figures(report, stream=0):
    """Yields (name, figure) for the comparison pages of a diff report."""
    import matplotlib.pyplot as plt

    fig, axes = plt.subplots(2, 1, figsize=(11, 7), layout="constrained")
    draw_diff_profile(axes[0], report, "meanShiftRms", stream)
    draw_diff_profile(axes[1], report, "logVarianceRatioRms", stream)
    fig.suptitle(f'"{report["b"]["input"]}" against "{report["a"]["input"]}": per dimension')
    yield "diff-profile", fig
    fig, axes = plt.subplots(1, 3, figsize=(17, 6), layout="constrained")
    for ax, measure in zip(axes, ("divergence", "meanShift", "logVarianceRatio")):
        draw_diff_worst(ax, report, measure)
    only = len(report["onlyInA"]) + len(report["onlyInB"]) + len(report["structureDiffers"])
    fig.suptitle(f'"{report["b"]["input"]}" against "{report["a"]["input"]}": the worst components'
                 + (f" ({only} models only in one side or of other structure, not drawn)" if only else ""))
    yield "diff-worst", fig


def default_models(source, count=3):
    """"sil" (when there is one) and the first few other models."""
    names = list(source.names)
    chosen = [n for n in names if n == "sil"][:1]
    return chosen + [n for n in names if n not in chosen][:count]


def figures(source, models=None, stream=0, report=None):
    """Yields (name, figure) for every page: the overview, the distributions, the comparison
    when a diff report is given, and per model the heatmaps (and the transitions of a set)."""
    import matplotlib.pyplot as plt

    fig = plt.figure(figsize=(11, 7), layout="constrained")
    grid = fig.add_gridspec(2, 2)
    draw_counts(fig.add_subplot(grid[:, 0]), source)
    draw_components_per_state(fig.add_subplot(grid[0, 1]), source, stream)
    draw_states_per_model(fig.add_subplot(grid[1, 1]), source)
    fig.suptitle("Overview")
    yield "overview", fig
    for name, draw in (("variances", draw_variance_distribution), ("means", draw_mean_distribution),
                       ("log-weights", draw_log_weight_distribution)):
        fig, ax = plt.subplots(figsize=(11, 6), layout="constrained")
        draw(ax, source, stream)
        yield name, fig
    if report is not None:
        yield from diff_figures(report, stream)
    for name in models if models is not None else default_models(source):
        is_set = isinstance(source, mac2mod.HmmSet)
        fig, axes = plt.subplots(1, 3 if is_set else 2, figsize=(16, 6), layout="constrained",
                                 gridspec_kw={"width_ratios": [3, 3, 2] if is_set else [1, 1]})
        draw_mean_heatmap(axes[0], source, name, stream)
        draw_log_variance_heatmap(axes[1], source, name, stream)
        if is_set:
            draw_transitions(axes[2], source[name])
        fig.suptitle(f"Model \"{name}\"")
        yield "model-" + name.replace(os.sep, "_"), fig


def save(figure_list, out):
    """Writes the figures into a PDF (a page each) when out ends in .pdf, else as PNGs into the folder out."""
    import matplotlib.pyplot as plt

    if out.lower().endswith(".pdf"):
        from matplotlib.backends.backend_pdf import PdfPages

        # Whole or not at all: a figure that fails leaves no half-written report.
        partial = out + ".partial"
        try:
            with PdfPages(partial) as pdf:
                for _, fig in figure_list:
                    pdf.savefig(fig)
                    plt.close(fig)
            os.replace(partial, out)
        finally:
            if os.path.exists(partial):
                os.remove(partial)
        return
    os.makedirs(out, exist_ok=True)
    for number, (name, fig) in enumerate(figure_list):
        fig.savefig(os.path.join(out, f"{number:02d}-{name}.png"), dpi=100)
        plt.close(fig)


def load(inputs, table=None):
    """A set or model file from the command's inputs: one .mac/.macb or .mod file, or HTK files;
    and the other side of a comparison when two macro or model files are given (else None)."""
    kinds = {os.path.splitext(path)[1].lower() for path in inputs}
    if len(inputs) == 2 and kinds <= {".mac", ".macb", ".mod"}:
        return load(inputs[:1], table)[0], inputs[1]
    return _load_one(inputs, table, kinds), None


def _load_one(inputs, table, kinds):
    if len(inputs) == 1 and kinds <= {".mac", ".macb"}:
        return mac2mod.read(inputs[0])
    if len(inputs) == 1 and kinds == {".mod"}:
        return mac2mod.read_model_file(inputs[0], table=table)
    if kinds & {".mac", ".macb", ".mod"}:
        raise ValueError("give one macro or model file, or HTK model files")
    return mac2mod.import_htk(inputs)


def main(argv=None):
    """The command: draws the inputs' figures into OUT; returns the exit status."""
    parser = argparse.ArgumentParser(prog="python3 -m mac2mod.plot", description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("inputs", nargs="+", metavar="INPUT")
    parser.add_argument("-o", "--output", required=True, metavar="OUT")
    parser.add_argument("--against", metavar="B", help="a set or model file to compare the input with")
    parser.add_argument("--table", help="ModelNames.txt for the names of a model file's records")
    parser.add_argument("--model", action="append", metavar="NAME", help="a model to draw (repeatable)")
    parser.add_argument("--stream", type=int, default=1, metavar="S", help="the stream to draw, from 1 (default 1)")
    args = parser.parse_args(argv)
    try:
        source, other = load(args.inputs, args.table)
        other = args.against or other
        report = None if other is None else mac2mod.diff(source, other, table=args.table, top=15)
        missing = [name for name in args.model or [] if name not in source]
        if missing:
            parser.error("no model named " + ", ".join(missing))
        streams = source.stream_count if isinstance(source, mac2mod.HmmSet) else 1
        if not 1 <= args.stream <= streams:
            parser.error(f"--stream {args.stream}: the input has streams 1 to {streams}")
        save(figures(source, args.model, args.stream - 1, report), args.output)
    except mac2mod.Error as e:
        print(e.message, end="" if e.message.endswith("\n") else "\n", file=sys.stderr)
        return 1
    except ValueError as e:
        parser.error(str(e))
    return 0


if __name__ == "__main__":
    sys.exit(main())
