#!/usr/bin/python3
"""The window over AT-SPI, the way a screen reader meets it.

Started by run.sh inside a private D-Bus session and X server. Starts the
program against the simulated meter, then: finds the fifteen radio items as
radio buttons by name, selects one through the accessibility interface and
sees the window react as to a click, presses the toggle, and reads the
read-out after a pointer move over the chart, the meter's state and the peak
marker's values as labels of the chart. Exits 0 when all holds; every
wait is bounded.
Usage: run.sh atspi_check.py PROGRAM SIM_LIBRARY_DIR
"""
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

# The action calls this client uses are the ones every AT-SPI release has.
warnings.simplefilter("ignore", DeprecationWarning)

TITLE = "Velkarn3 Pano 01"
RADIO_ITEMS = [
    "Линия", "Залив", "dBuV", "dBm", "9750 - 10600", "10750", "5150", "Свой",
    "Верхн.", "Нижн.", "H / L", "V / R", "Свинцово-кислотный", "Ni-Cd, Ni-MH", "Li-ion",
]
NAMED = {  # name: role, for controls named by the text beside them
    "Широта": "text", "Долгота": "text", "Свой гетеродин": "text",
    "Сдвиг": "scroll bar", "Коэф": "scroll bar", "Опорa": "scroll bar",
    "Нижняя граница шкалы уровня": "scroll bar", "Высота шкалы уровня": "scroll bar",
    "Шаг": "slider", "Стабилитрон": "spin button", "Транспондеры": "table",
}

failures = []


def check(condition, what):
    print(("ok   " if condition else "FAIL ") + what, flush=True)
    if not condition:
        failures.append(what)
    return condition


def wait_for(what, probe, timeout=10.0):
    """Polls probe() until it returns something true, or gives up."""
    end = time.monotonic() + timeout
    while True:
        try:
            value = probe()
        except GLib.Error:
            value = None
        if value or time.monotonic() > end:
            return value
        time.sleep(0.1)


def states(obj):
    s = obj.get_state_set()
    return {name for name, st in (("checked", Atspi.StateType.CHECKED), ("pressed", Atspi.StateType.PRESSED),
                                  ("showing", Atspi.StateType.SHOWING)) if s.contains(st)}


def walk(obj, found, depth=0):
    """Every object under obj by name; a table's cells are left out."""
    if depth > 12:
        return
    found.setdefault(obj.get_name(), []).append(obj)
    if obj.get_role_name() == "table":
        return
    for i in range(obj.get_child_count()):
        child = obj.get_child_at_index(i)
        if child is not None:
            walk(child, found, depth + 1)


def find_window():
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None:
            continue
        for j in range(app.get_child_count()):
            w = app.get_child_at_index(j)
            if w is not None and w.get_name() == TITLE:
                return w
    return None


def one(found, name, role=None):
    objs = [o for o in found.get(name, []) if role is None or o.get_role_name() == role]
    return objs[0] if len(objs) == 1 else None


def act(obj, names=("Press", "Toggle", "click", "press")):
    for i in range(Atspi.Action.get_n_actions(obj)):
        if Atspi.Action.get_action_name(obj, i) in names:
            return Atspi.Action.do_action(obj, i)
    return False


def main():
    program, simdir = sys.argv[1:3]
    work = os.environ["VELKARN_A11Y_RUN"]
    # Connecting to the desktop starts the AT-SPI bus and its registry.
    Atspi.get_desktop(0).get_child_count()
    env = dict(os.environ, QT_QPA_PLATFORM="xcb", QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1",
               LD_LIBRARY_PATH=simdir + os.pathsep + os.environ.get("LD_LIBRARY_PATH", ""))
    log = open(os.path.join(work, "program.log"), "w")
    proc = subprocess.Popen([program], env=env, stdout=log, stderr=subprocess.STDOUT)
    try:
        run(proc)
    finally:
        proc.terminate()
        try:
            proc.wait(5)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait(5)
        log.close()
        if failures:
            with open(os.path.join(work, "program.log")) as f:
                sys.stdout.write("--- program output:\n" + f.read())
    return 1 if failures else 0


def run(proc):
    window = wait_for("the window", find_window, 30)
    if not check(window is not None, "the window '%s' is on the AT-SPI desktop" % TITLE):
        return
    found = {}
    walk(window, found)

    for name in RADIO_ITEMS:
        check(one(found, name, "radio button") is not None, "radio button '%s'" % name)
    check(not any(o.get_role_name() == "check box" for n in RADIO_ITEMS for o in found.get(n, [])),
          "no radio item is a check box")
    for name, role in NAMED.items():
        check(one(found, name, role) is not None, "%s '%s'" % (role, name))

    # Selecting "dBm" through the interface runs the unit's handler as a
    # click does: the level-scale bar goes to -75 of -100..0 at once, and the
    # unit label reads "dBm" from the next tick.
    dbuv, dbm = one(found, "dBuV", "radio button"), one(found, "dBm", "radio button")
    bottom = one(found, "Нижняя граница шкалы уровня", "scroll bar")
    if dbuv and dbm and bottom:
        check("checked" in states(dbuv) and "checked" not in states(dbm), "dBuV is selected at start")
        check(Atspi.Value.get_current_value(bottom) == 45, "the level-scale bar starts at 45")
        check(act(dbm), "dBm pressed through the action interface")
        check(wait_for("dBm selected", lambda: "checked" in states(dbm) and "checked" not in states(dbuv), 5),
              "dBm is selected, dBuV no more")
        check(wait_for("the bar", lambda: Atspi.Value.get_current_value(bottom) == -75, 5),
              "the level-scale bar moved to -75 as after a click")
        check(Atspi.Value.get_minimum_value(bottom) == -100, "and ranges from -100")
        unit = one(found, "dBuV", "label")
        check(unit is not None, "the unit label is reachable")
        if unit:
            check(wait_for("unit", lambda: unit.get_name() == "dBm", 5), "the unit label reads dBm after a tick")
        # A press on the selected item runs nothing.
        check(act(dbm), "dBm pressed again")
        time.sleep(0.3)
        check("checked" in states(dbm), "dBm stays selected")

    toggle = one(found, "PANO")
    if check(toggle is not None, "the toggle 'PANO'"):
        # By role, not role name: at-spi2-core 2.56 names the push-button
        # role "button" where 2.46 says "push button".
        check(toggle.get_role() in (Atspi.Role.TOGGLE_BUTTON, Atspi.Role.PUSH_BUTTON),
              "PANO is a button (%s), not a check box" % toggle.get_role_name())
        check(not ({"checked", "pressed"} & states(toggle)), "PANO starts up")
        check(act(toggle), "PANO pressed through the action interface")
        check(wait_for("PANO down", lambda: {"checked", "pressed"} <= states(toggle), 5), "PANO is down and pressed")
        act(toggle)
        check(wait_for("PANO up", lambda: not ({"checked", "pressed"} & states(toggle)), 5), "PANO released")

    # The read-out under the pointer.
    # The read-out under the pointer, read and announced over the bus.
    chart = one(found, "СПЕКТР")
    readout = one(found, "xxx", "label")
    if check(chart is not None, "the chart 'СПЕКТР'") and check(readout is not None, "the read-out label"):
        check(chart.get_role_name() == "chart", "СПЕКТР is a chart (%s)" % chart.get_role_name())
        check(readout.get_parent() == chart, "the read-out is a child of the chart")
        announced = []

        def on_name(event):
            if event.source == readout:
                announced.append(event.source.get_name())

        listener = Atspi.EventListener.new(on_name)
        listener.register("object:property-change:accessible-name")
        box = Atspi.Component.get_extents(chart, Atspi.CoordType.SCREEN)
        x, y = box.x + 133, box.y + 215
        check(subprocess.run(["xdotool", "mousemove", str(x), str(y)], timeout=10).returncode == 0,
              "pointer moved to (133, 215) of the chart")
        # dBm: level axis -75..5; LO 10600, upper band, shift 950, step 10.
        want = "-35    11750 МГц  H    ПЧ 1150 МГц "
        got = wait_for("read-out", lambda: readout.get_name() == want and readout.get_name(), 5)
        check(got == want, "the read-out reads %r (got %r)" % (want, readout.get_name()))
        context = GLib.MainContext.default()
        end = time.monotonic() + 5
        while not announced and time.monotonic() < end:
            while context.iteration(False):
                pass
            time.sleep(0.05)
        check(bool(announced), "the read-out's new text was announced")
        listener.deregister("object:property-change:accessible-name")

        # The meter's state and the peak marker's values are labels of the chart too.
        def labels():
            return [chart.get_child_at_index(i) for i in range(chart.get_child_count())]
        state = wait_for("state", lambda: [c for c in labels() if c.get_description() == "Состояние прибора"], 5)
        check(bool(state) and state[0].get_name() == "Прибор подключён",
              "the state label reads 'Прибор подключён' (got %r)" % (state and state[0].get_name()))
        if toggle:
            act(toggle)
            subprocess.run(["xdotool", "search", "--name", TITLE, "windowfocus", "--sync", "key", "F11"], timeout=10)
            peak = wait_for("peak", lambda: [c.get_name() for c in labels()
                                             if "dB" in c.get_name() and "ПЧ" in c.get_name()], 5)
            check(bool(peak), "the peak marker's values are read as a label of the chart (%r)" % peak)
    check(proc.poll() is None, "the program is still running")


if __name__ == "__main__":
    sys.exit(main())
