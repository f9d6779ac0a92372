<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>Fixture</name>
    <message>
        <source>%1 is not &quot;slot N = socket&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>slot %1 where slot %2 was expected: slots are numbered 1, 2, 3, ... in order.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>slot %1 names no socket.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the socket %1 holds control characters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the socket of slot %1 is slot %2&apos;s already (line %3).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>more than %1 slots.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>not a fixture: the first line must be &quot;%1 %2&quot;.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>unsupported version %1 (this program reads &quot;%2 %3&quot;).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no slot: a fixture names at least one socket.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a fixture: it is larger than %2 KiB.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot write %1: %2.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>FixtureDialog</name>
    <message>
        <source>Learn fixture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plug one unit into each socket of the fixture in order, starting with slot 1, and wait for each to be named here. Units plugged in already are not taken.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Undo last slot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save fixture...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot hear of: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slot %1 is the socket of %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not in a USB socket the system names: it cannot be a slot.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>That socket is slot %1 already.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Every slot is learned.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Plug a unit into the socket of slot %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slot %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the fixture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fixtures (*.fixture)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PinDialog</name>
    <message>
        <source>Supervisor PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set the supervisor PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;PIN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New &amp;PIN:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Again:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>OK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Wrong PIN. Wait %n second(s) before the next try.</source>
        <translation>
            <numerusform>Wrong PIN. Wait %n second before the next try.</numerusform>
            <numerusform>Wrong PIN. Wait %n seconds before the next try.</numerusform>
        </translation>
    </message>
    <message>
        <source>The two PINs differ.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Wrong PIN.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunSetup</name>
    <message>
        <source>Choose a report file: no unit is configured without its record.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The report %1 ends in .json: a report is CSV, or JSON Lines named .jsonl.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The report %1 is the profile: choose another file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a profile: it holds the settings sent.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter or scan the operator&apos;s name or badge.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&quot;%1&quot; names no one: enter or scan the operator&apos;s own name or badge.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Without a fixture, name the units to take (by-id name, socket, USB product or VID:PID).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The record store&apos;s connection string carries a password, which anyone who reads the station&apos;s settings could read: put it in ~/.pgpass or a service file instead.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The record store: %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>RunView</name>
    <message>
        <source>attempt %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Passed %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yield %1 %</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yield -</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lot %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lot %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No report: results are not recorded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report %1 cannot be written: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Report %1: %n record(s) written.</source>
        <translation>
            <numerusform>Report %1: %n record written.</numerusform>
            <numerusform>Report %1: %n records written.</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Latest results</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No unit yet: each unit that comes gets its tile.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped: no unit is configured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1  Slot %2  %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Store %1: asking whether it takes the records...</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Store %1 reachable again: %n record(s) waiting go now.</source>
        <translation>
            <numerusform>Store %1 reachable again: %n record waiting goes now.</numerusform>
            <numerusform>Store %1 reachable again: %n records waiting go now.</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Store %1: %n record(s) waiting.</source>
        <translation>
            <numerusform>Store %1: %n record waiting.</numerusform>
            <numerusform>Store %1: %n records waiting.</numerusform>
        </translation>
    </message>
    <message>
        <source>Store %1: every record is in the store.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>Store %1 unreachable: %n record(s) waiting (%2). The line goes on; they follow when it is back.</source>
        <translation>
            <numerusform>Store %1 unreachable: %n record waiting (%2). The line goes on; it follows when the store is back.</numerusform>
            <numerusform>Store %1 unreachable: %n records waiting (%2). The line goes on; they follow when the store is back.</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SetupPage</name>
    <message>
        <source>&amp;Operator:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Lot or work order:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quantity:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Profile:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Report file:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Fixture:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Units to take:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>La&amp;nguage:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Station (supervisor)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Window</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Supervisor</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type or scan the badge</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;hoose...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No fi&amp;xture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The system&apos;s language</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No profile chosen.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No fixture: the run takes the units named below, a tile for each as it comes.</source>
        <translation type="unfinished"></translation>
    </message>
    <message numerus="yes">
        <source>%n slot(s), each bound to its socket.</source>
        <translation>
            <numerusform>%n slot, each bound to its socket.</numerusform>
            <numerusform>%n slots, each bound to its socket.</numerusform>
        </translation>
    </message>
    <message>
        <source>A run is on: the setup is locked until it stops.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No supervisor PIN is set: anyone may change the station&apos;s setup.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Locked: the supervisor&apos;s PIN unlocks the station&apos;s setup.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unlocked until a run starts or Lock is pressed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a profile</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Profiles (*.profile);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the report file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON Lines (*.jsonl)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a fixture</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Fixtures (*.fixture);;All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>S&amp;tation name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>T&amp;ype size:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choos&amp;e...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Le&amp;arn fixture...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Pass and fail soun&amp;ds</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Change P&amp;IN...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Set P&amp;IN...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Remo&amp;ve PIN</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unloc&amp;k setup...</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loc&amp;k setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sends %1. SHA-256 of the settings: %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Record &amp;store:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>None; or PostgreSQL, e.g. host=db dbname=line user=station (no password)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>e.g. 0403:6001 or a by-id name; several apart by blanks, &quot;one with blanks&quot; in quotes</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>Empty</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Settling</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configuring</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>PASS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Busy</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not configured</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not recorded</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last result %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slot %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Slot %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Attempt %1</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationDriver</name>
    <message>
        <source>The record store %1 refused the station: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Mend the store&apos;s setting (its database, its user and that user&apos;s rights, the password in ~/.pgpass) or clear it in the setup, then press Start. Nothing was configured.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Not started: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Two stations must never share a unit. Stop the other station first, or give each station the sockets of its own fixture; then press Start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Make room on the disk, or choose a report in a folder that exists and that may be written to (Setup, F2); then press Start. No unit is configured until its record can be written.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationSettings</name>
    <message>
        <source>%1 cannot be written.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is not a settings file.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>Vantrel Station</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start the run (F5)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Take no unit more; those under way end (F6)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Configure again each failed unit still plugged in (F7)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Close the lot with its summary (F8)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The run&apos;s setup (F2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The tiles and counters (F3)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Larger type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Smaller type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Running: the setup is locked.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopping: the units under way end.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>End of lot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;End the lot</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Resetting the counters needs the supervisor&apos;s PIN.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unlocking the station&apos;s setup needs the supervisor&apos;s PIN.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The PIN guards the station&apos;s setup and the counters. It is kept only as a salted hash.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The setup is not kept: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lot: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Passed: %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Busy: %1, not recorded: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Yield: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>First result: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Last result: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Report: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Start</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retry failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Setup</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Run view</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reset counters</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SupervisorPin</name>
    <message numerus="yes">
        <source>A PIN has at least %n character(s).</source>
        <translation>
            <numerusform>A PIN has at least %n character.</numerusform>
            <numerusform>A PIN has at least %n characters.</numerusform>
        </translation>
    </message>
    <message>
        <source>A PIN does not start or end with a blank.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
