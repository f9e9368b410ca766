#!/usr/bin/env python3
"""The flash, diagnostics, monitoring, virtual port and FCoE engine menus,
driven through a pseudo-terminal (and one piped script) on a private copy of
the installation: their screens and keys, a long test stopped by the abort
key, changes that the next command line sees, and refused values.

usage: menutrees_areas_pty_test.py <build dir> [unittest arguments]
"""
import os
import re
import signal
import subprocess
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import menus_pty_test as fw  # noqa: E402

PROMPT = fw.PROMPT
PAUSE = "Press <Enter> to continue: "
AREAS = {
    "Flash Update": "    Flash Update Menu",
    "Diagnostics": "    Diagnostics Menu",
    "Monitoring": "    Monitoring Menu",
    "Virtual Ports": "    Virtual Ports Menu",
    "FCoE Engine": "    FCoE Engine Menu",
}


def entries_of(screen):
    out = {}
    for line in screen.splitlines():
        head, sep, text = line.partition(":\t")
        if sep and head.strip().isdigit():
            out[text.strip()] = int(head)
    return out


class AreaTrees(fw.Base):
    def volk(self, *args):
        return subprocess.run([os.path.join(self.install.bin, "volk"), *args],
                              env=self.install.env, capture_output=True, text=True, timeout=60)

    def choose(self, s, text, screen=None):
        """Answers the screen up to the prompt with the number of the entry
        whose text starts with text; the screen."""
        screen = screen if screen is not None else s.expect(PROMPT)
        for entry, number in entries_of(screen).items():
            if entry.startswith(text):
                s.send(str(number))
                return screen
        self.fail("no entry %r on the screen:\n%s" % (text, screen))

    def choose_port(self, s, instance):
        """Answers the port chooser with the physical port of an HBA instance."""
        screen = s.expect(PROMPT)
        for entry, number in entries_of(screen).items():
            if re.match(r"HBA\s+%d\s+Port" % instance, entry):
                s.send(str(number))
                return
        self.fail("no HBA %d on the screen:\n%s" % (instance, screen))

    def open_area(self, s, area):
        screen, _ = self.main_menu(s)
        self.choose(s, area, screen)
        screen = s.expect(PROMPT)
        self.assertIn(AREAS[area], screen)
        return screen

    def quit(self, s):
        s.send("x")
        self.assertEqual(s.wait(), 0)

    def test_every_tree_is_offered_and_p_and_m_leave_it(self):
        s = self.start()
        screen, entries = self.main_menu(s)
        for area in AREAS:
            self.assertIn(area, entries)
        for area, title in AREAS.items():
            with self.subTest(area=area):
                s.send(str(entries[area]))
                screen = s.expect(PROMPT)
                self.assertIn(title, screen)
                self.assertIn("Return to Previous Menu", screen)
                # The first leaf's port chooser, and p back to the tree.
                first = min(entries_of(screen).values())
                s.send(str(first))
                chooser = s.expect(PROMPT)
                self.assertRegex(chooser, r"HBA\s+\d+\s+Port")
                s.send("p")
                self.assertIn(title, s.expect(PROMPT))
                s.send("p")
                self.main_menu(s)
                s.send(str(entries[area]))
                self.assertIn(title, s.expect(PROMPT))
                s.send("m")
                self.main_menu(s)
        s.send("x")
        self.assertEqual(s.wait(), 0)

    def test_loopback_from_the_menu_stops_on_the_abort_key(self):
        # Slow enough that the test is still running when the key comes.
        self.install.env["TAVRO_CLOCK_SCALE"] = "20"
        s = self.start()
        self.open_area(s, "Diagnostics")
        s.send(str(1))  # Loopback Test
        self.choose_port(s, 4)
        # pattern, size, count, increment, on error, loopback type
        for answer in ("", "", "65535", "", "", ""):
            s.expect(": ")
            s.send(answer)
        s.expect("Press <Enter> to abort")
        s.child.expect(r"\s4\s+[0-9A-F-]{23}\s+Success")
        s.send("")  # the abort key (Enter)
        s.child.expect(r"Finished (\d+) iterations")
        self.assertLess(int(s.child.match.group(1)), 65535)
        s.expect(PAUSE)
        s.send("")
        self.assertIn(AREAS["Diagnostics"], s.expect(PROMPT))
        self.quit(s)

    def test_virtual_ports_created_in_the_menu_show_in_the_next_list(self):
        s = self.start()
        self.open_area(s, "Virtual Ports")
        s.send("2")  # Create Virtual Ports (Generated WWPNs)
        self.choose_port(s, 0)
        s.child.expect(r"Number of vPort\(s\) to generate \(1-(\d+)\): ")
        self.assertGreaterEqual(int(s.child.match.group(1)), 2)
        s.send("2")
        created = []
        for _ in range(2):
            s.child.expect(r"New vPort ([0-9A-F-]{23}) of HBA instance 0 was created successfully")
            created.append(s.child.match.group(1))
        s.expect(PAUSE)
        s.send("")
        self.assertIn(AREAS["Virtual Ports"], s.expect(PROMPT))
        self.quit(s)
        self.assertNotEqual(created[0][3:5], created[1][3:5])
        listing = self.volk("-vp", "0", "list")
        self.assertEqual(listing.returncode, 0, listing.stdout)
        for wwpn in created:
            self.assertIn("Port Name                      : " + wwpn, listing.stdout)

    def test_refused_values_get_their_message_and_change_nothing(self):
        before = self.volk("-vp", "0", "list").stdout
        self.assertIn("does not have any virtual port", before)
        s = self.start()
        # A count out of range: nothing is created.
        self.open_area(s, "Virtual Ports")
        s.send("2")
        self.choose_port(s, 0)
        s.child.expect(r"Number of vPort\(s\) to generate \(1-(\d+)\): ")
        most = int(s.child.match.group(1))
        s.send(str(most + 1))
        s.expect("Number of vPort(s) must be from 1 to %d!" % most)
        s.expect(PAUSE)
        s.send("")
        self.assertIn(AREAS["Virtual Ports"], s.expect(PROMPT))
        # A test count of 0 is refused by the menu, with the menus' own words.
        s.send("m")
        self.open_area(s, "Diagnostics")
        s.send("1")
        self.choose_port(s, 4)
        for answer in ("", ""):
            s.expect(": ")
            s.send(answer)
        s.expect("Test count (1-65535): ")
        s.send("0")
        out = s.expect(PAUSE)
        self.assertIn("Test count value must be from 1 to 65535!", out)
        self.assertNotIn("Press <Enter> to abort", out)
        s.send("")
        self.assertIn(AREAS["Diagnostics"], s.expect(PROMPT))
        # A monitor's rate out of range.
        s.send("m")
        self.open_area(s, "Monitoring")
        s.send("1")
        self.choose_port(s, 0)
        s.expect(": ")
        s.send("")
        s.expect(": ")
        s.send("301")
        s.expect("Polling Rate must be in the range 5-300 (Seconds)!")
        s.expect(PAUSE)
        s.send("")
        self.assertIn(AREAS["Monitoring"], s.expect(PROMPT))
        self.quit(s)
        self.assertEqual(self.volk("-vp", "0", "list").stdout, before)

    def test_adapter_kept_results_and_engine_views_print_the_command_lines_output(self):
        """D_Port results, credit recovery and the engine's logs: each leaf prints
        what its command line prints."""
        cases = [
            ("Diagnostics", "D_Port Diagnostics", 0, "Display Last D_Port Results",
             ("-dport", "0", "--stats")),
            ("Monitoring", "BB Credit Recovery", 0, "Display BB Credit Recovery",
             ("-bbcr", "0", "--info")),
            ("FCoE Engine", "FCoE Engine Logs", 11, "List the Engine's Logs",
             ("-fcoe", "11", "--log", "--list")),
        ]
        expected = {}
        for _, leaf, _, _, cli in cases:
            expected[leaf] = self.volk(*cli).stdout.strip().splitlines()
            self.assertTrue(expected[leaf], leaf)
        s = self.start()
        for area, leaf, instance, entry, _ in cases:
            with self.subTest(leaf=leaf):
                screen = self.open_area(s, area)
                self.choose(s, leaf, screen)
                self.choose_port(s, instance)
                self.choose(s, entry)
                out = s.expect(PAUSE)
                for line in expected[leaf]:
                    self.assertIn(line.rstrip(), out)
                s.send("")
                self.assertIn(leaf, s.expect(PROMPT))
                s.send("m")
        self.quit(s)

    def test_piped_script_saves_the_flash_as_the_command_line_does(self):
        menu_file = os.path.join(self.install.dir, "menu.bin")
        cli_file = os.path.join(self.install.dir, "cli.bin")
        volk = os.path.join(self.install.bin, "volk")
        main = subprocess.run([volk], input="x\n", env=self.install.env, capture_output=True,
                              text=True, timeout=60).stdout
        flash = str(entries_of(main)["Flash Update"])
        chooser = subprocess.run([volk], input=flash + "\n4\nx\n", env=self.install.env,
                                 capture_output=True, text=True, timeout=60).stdout
        port = [n for e, n in entries_of(chooser).items() if re.match(r"HBA\s+0\s+Port", e)]
        self.assertEqual(len(port), 1, chooser)
        # Flash Update, Save Flash, HBA 0, the file, Enter, quit.
        script = "\n".join([flash, "4", str(port[0]), menu_file, "", "x", ""])
        r = subprocess.run([volk], input=script, env=self.install.env, capture_output=True,
                           text=True, timeout=60)
        self.assertEqual(r.returncode, 0, r.stdout + r.stderr)
        cli = self.volk("-b", "0", "save", cli_file)
        self.assertEqual(cli.returncode, 0, cli.stdout)
        self.assertTrue(os.path.exists(menu_file), r.stdout)
        with open(menu_file, "rb") as a, open(cli_file, "rb") as b:
            self.assertEqual(a.read(), b.read())


def main():
    fw.BUILD = os.path.abspath(sys.argv[1])
    signal.signal(signal.SIGPIPE, signal.SIG_DFL)
    unittest.main(argv=[sys.argv[0]] + sys.argv[2:])


if __name__ == "__main__":
    main()
