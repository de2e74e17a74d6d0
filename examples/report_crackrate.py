"""Example analysis section: a through crack in a wide plate grown with
Crackrate through a constant-amplitude block load history, once as it is
and once with a single overload cycle part-way, with the retardation that
the overload causes. Writes both growth curves as an SVG picture."""
import math
import os

from Crackrate import Crackrate

# Material constants (ksi, inches): UTS, YS, Kie, Kic, Ak, Bk, C, n, p, q,
# DK1, Cthp, Cthm, Rcl, alfa, ratio, R, a0, np, damp; plane stress.
MATERIAL = [0, 50, 60, 40, 1, 1, 1e-10, 3, 0.5, 1, 5, 0.1, 0.1, 0.7, 2, 0.3, 0.1, 0.0381, 3,
            10000]
STRESS_RANGE = 15.0      # ksi, every cycle of the blocks
RATIO = 0.1              # stress ratio of the blocks
OVERLOAD_FACTOR = 1.8    # peak of the overload cycle over the block peak
BLOCK = 1000             # cycles per block
INITIAL_CRACK = 0.05     # inches
FINAL_CRACK = 0.6        # inches
OVERLOAD_CRACK = 0.15    # the overload comes once the crack has reached this length
RECORD = 10000           # cycles between the points of a growth curve
FAILURE_FACTOR = 3.0     # the third history: an overload this high after every block
SVG_NAME = "crack_growth.svg"


def overload_cycle(factor):
    """One cycle to `factor` times the block peak at the same minimum load,
    as a spectrum segment (stress range, stress ratio, 1 cycle)."""
    peak = STRESS_RANGE / (1 - RATIO) * factor
    minimum = STRESS_RANGE / (1 - RATIO) * RATIO
    return (peak - minimum, minimum / peak, 1)


def lives(with_overload, mode="exact"):
    """The crack's life from INITIAL_CRACK to FINAL_CRACK (a centre crack of
    half-length a in a wide plate: Y = 1) in blocks, grown by
    Crackrate.GrowCrack; with the overload, in three parts: the blocks until
    OVERLOAD_CRACK, the overload cycle, the blocks again, each taking up the
    model's overload state and cycle count where the part before left them.
    Returns ([(cycles, crack length)], cycle count of the overload or None,
    the last part's CrackLife)."""
    model = Crackrate(MATERIAL, 1)
    blocks = [(STRESS_RANGE, RATIO, BLOCK)]
    if not with_overload:
        life = model.GrowCrack(blocks, INITIAL_CRACK, FINAL_CRACK, mode=mode, record=RECORD)
        return [(int(c), a) for c, a in life.history.tolist()], None, life
    first = model.GrowCrack(blocks, INITIAL_CRACK, OVERLOAD_CRACK, mode=mode, record=RECORD)
    over = model.GrowCrack([overload_cycle(OVERLOAD_FACTOR)], first.length, FINAL_CRACK,
                           passes=1, start=first.cycles)
    rest = model.GrowCrack(blocks, over.length, FINAL_CRACK, mode=mode, record=RECORD,
                           start=over.cycles)
    history = first.history.tolist() + over.history.tolist()[1:] + rest.history.tolist()[1:]
    return [(int(c), a) for c, a in history], over.cycles, rest


def grow(with_overload):
    """Crack length against cycles, in the exact mode, until FINAL_CRACK.
    Returns ([(cycles, crack length)], cycle count of the overload or
    None)."""
    history, overload_at, _ = lives(with_overload)
    return history, overload_at


def to_failure():
    """The third history: blocks with an overload of FAILURE_FACTOR times
    the peak after each, until the overload's Kmax reaches Kc (fast mode)."""
    model = Crackrate(MATERIAL, 1)
    spectrum = [(STRESS_RANGE, RATIO, BLOCK), overload_cycle(FAILURE_FACTOR)]
    return model.GrowCrack(spectrum, INITIAL_CRACK, FINAL_CRACK, mode="fast")


def cycles_to(history, length):
    """The first cycle count at which the crack is at least `length`."""
    for cycles, a in history:
        if a >= length:
            return cycles
    return None


def _svg(plain, retarded, overload_at):
    width, height = 720, 460
    left, right, top, bottom = 80, 30, 40, 60
    max_cycles = max(plain[-1][0], retarded[-1][0])
    x_step = 10 ** int(math.floor(math.log10(max_cycles)))
    if max_cycles / x_step < 4:
        x_step //= 2
    x_max = int(math.ceil(float(max_cycles) / x_step)) * x_step
    y_max = math.ceil(FINAL_CRACK * 10 + 0.5) / 10.0

    def x(c):
        return left + (width - left - right) * float(c) / x_max

    def y(a):
        return height - bottom - (height - top - bottom) * a / y_max

    def polyline(history, ident, colour, dash=""):
        points = " ".join("%.1f,%.1f" % (x(c), y(a)) for c, a in history)
        return ('<polyline id="%s" fill="none" stroke="%s" stroke-width="2"%s points="%s"/>'
                % (ident, colour, dash, points))

    parts = ['<?xml version="1.0" encoding="UTF-8"?>',
             '<svg xmlns="http://www.w3.org/2000/svg" width="%d" height="%d" '
             'viewBox="0 0 %d %d" font-family="sans-serif" font-size="13">'
             % (width, height, width, height),
             '<title>Crack length against cycles, with and without an overload</title>',
             '<rect width="100%" height="100%" fill="white"/>']
    # Axes with ticks and labels.
    parts.append('<g id="axes" stroke="black" stroke-width="1">')
    parts.append('<line x1="%d" y1="%d" x2="%d" y2="%d"/>' % (left, height - bottom,
                                                               width - right, height - bottom))
    parts.append('<line x1="%d" y1="%d" x2="%d" y2="%d"/>' % (left, height - bottom, left, top))
    parts.append('</g>')
    parts.append('<g id="ticks" text-anchor="middle">')
    for c in range(0, x_max + 1, x_step):
        parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="black"/>'
                     % (x(c), height - bottom, x(c), height - bottom + 5))
        parts.append('<text x="%.1f" y="%d">%g</text>' % (x(c), height - bottom + 20, c / 1e6))
    tick = 0.0
    while tick <= y_max + 1e-9:
        parts.append('<line x1="%d" y1="%.1f" x2="%d" y2="%.1f" stroke="black"/>'
                     % (left - 5, y(tick), left, y(tick)))
        parts.append('<text x="%d" y="%.1f" text-anchor="end">%.1f</text>'
                     % (left - 8, y(tick) + 4, tick))
        tick += 0.1
    parts.append('</g>')
    parts.append('<text id="x-label" x="%d" y="%d" text-anchor="middle">'
                 'Cycles (millions)</text>' % ((left + width - right) // 2, height - 15))
    parts.append('<text id="y-label" x="20" y="%d" text-anchor="middle" '
                 'transform="rotate(-90 20 %d)">Crack length a (in)</text>'
                 % ((top + height - bottom) // 2, (top + height - bottom) // 2))
    # The overload, where it came.
    parts.append('<g id="overload">')
    parts.append('<line x1="%.1f" y1="%d" x2="%.1f" y2="%d" stroke="grey" '
                 'stroke-dasharray="4 4"/>' % (x(overload_at), top, x(overload_at),
                                               height - bottom))
    parts.append('<text x="%.1f" y="%d" fill="grey">overload (x%g peak)</text>'
                 % (x(overload_at) + 6, top + 14, OVERLOAD_FACTOR))
    parts.append('</g>')
    parts.append(polyline(plain, "without-overload", "#1f77b4"))
    parts.append(polyline(retarded, "with-overload", "#d62728", ' stroke-dasharray="8 3"'))
    # Legend.
    parts.append('<g id="legend">')
    for row, (label, colour, dash) in enumerate([
            ("without overload", "#1f77b4", ""),
            ("with one overload", "#d62728", ' stroke-dasharray="8 3"')]):
        ly = top + 16 + 20 * row
        parts.append('<line x1="%d" y1="%d" x2="%d" y2="%d" stroke="%s" stroke-width="2"%s/>'
                     % (left + 20, ly, left + 50, ly, colour, dash))
        parts.append('<text x="%d" y="%d">%s</text>' % (left + 58, ly + 4, label))
    parts.append('</g>')
    parts.append('</svg>')
    return "\n".join(parts) + "\n"


def report(out, svg_path=None):
    plain, _, exact = lives(False)
    retarded, overload_at, retarded_exact = lives(True)
    _, _, fast = lives(False, "fast")
    _, _, retarded_fast = lives(True, "fast")
    failure = to_failure()
    if svg_path is None:
        svg_path = os.path.join(os.getcwd(), SVG_NAME)
    with open(svg_path, "w") as f:
        f.write(_svg(plain, retarded, overload_at))

    out.write("Crack growth with an overload (Crackrate)\n")
    out.write("-----------------------------------------\n")
    out.write("Centre crack in a wide plate, stress range %g ksi at R = %g in blocks of %d "
              "cycles;\none overload cycle to %g times the peak once a = %g in. Grown cycle by "
              "cycle (exact mode).\n"
              % (STRESS_RANGE, RATIO, BLOCK, OVERLOAD_FACTOR, OVERLOAD_CRACK))
    out.write("Crack length (in)   cycles without overload   cycles with overload\n")
    for length in (0.05, 0.1, 0.15, 0.16, 0.17, 0.2, 0.3, 0.4, 0.5, 0.6):
        without = cycles_to(plain, length)
        with_ = cycles_to(retarded, length)
        out.write("%17.2f   %23s   %20s\n" % (length, without, with_))
    delay = cycles_to(retarded, FINAL_CRACK) - cycles_to(plain, FINAL_CRACK)
    out.write("Overload at cycle %d; it delays growth to a = %g in by %d cycles.\n"
              % (overload_at, FINAL_CRACK, delay))
    for label, e, f in (("without overload", exact, fast),
                        ("with overload", retarded_exact, retarded_fast)):
        out.write("Life %s: exact %d cycles, fast mode %d cycles (%+d, %.2g%%, %d rate "
                  "evaluations).\n" % (label, e.cycles, f.cycles, f.cycles - e.cycles,
                                        100.0 * (f.cycles - e.cycles) / e.cycles,
                                        f.evaluations))
    out.write("With an overload to %g times the peak after every block the crack fractures "
              "(stop: %s)\nat cycle %d, a = %.4f in, where the overload's Kmax reaches Kc = %g "
              "ksi sqrt(in).\n" % (FAILURE_FACTOR, failure.stop, failure.cycles, failure.length,
                                   MATERIAL[2]))
    out.write("Growth curves written to %s\n" % svg_path)
