<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Fixture</name>
    <message>
        <source>%1 is not &quot;slot N = socket&quot;.</source>
        <translation>%1 不是“slot N = 插口”的格式。</translation>
    </message>
    <message>
        <source>slot %1 where slot %2 was expected: slots are numbered 1, 2, 3, ... in order.</source>
        <translation>此处应为 slot %2，却是 slot %1：槽位须按 1、2、3…… 的顺序编号。</translation>
    </message>
    <message>
        <source>slot %1 names no socket.</source>
        <translation>slot %1 没有指定插口。</translation>
    </message>
    <message>
        <source>the socket %1 holds control characters.</source>
        <translation>插口 %1 含有控制字符。</translation>
    </message>
    <message>
        <source>the socket of slot %1 is slot %2&apos;s already (line %3).</source>
        <translation>slot %1 的插口已属于 slot %2（第 %3 行）。</translation>
    </message>
    <message>
        <source>more than %1 slots.</source>
        <translation>槽位超过 %1 个。</translation>
    </message>
    <message>
        <source>not a fixture: the first line must be &quot;%1 %2&quot;.</source>
        <translation>不是夹具文件：第一行必须是“%1 %2”。</translation>
    </message>
    <message>
        <source>unsupported version %1 (this program reads &quot;%2 %3&quot;).</source>
        <translation>不支持的版本 %1（本程序读取“%2 %3”）。</translation>
    </message>
    <message>
        <source>no slot: a fixture names at least one socket.</source>
        <translation>没有槽位：夹具至少要指定一个插口。</translation>
    </message>
    <message>
        <source>Cannot read %1: %2.</source>
        <translation>无法读取 %1：%2。</translation>
    </message>
    <message>
        <source>%1 is not a fixture: it is larger than %2 KiB.</source>
        <translation>%1 不是夹具文件：它大于 %2 KiB。</translation>
    </message>
    <message>
        <source>Cannot write %1: %2.</source>
        <translation>无法写入 %1：%2。</translation>
    </message>
</context>
<context>
    <name>FixtureDialog</name>
    <message>
        <source>Learn fixture</source>
        <translation>学习夹具</translation>
    </message>
    <message>
        <source>Plug one unit into each socket of the fixture in order, starting with slot 1, and wait for each to be named here. Units plugged in already are not taken.</source>
        <translation>请从槽位 1 开始，按顺序在夹具的每个插口插入一台设备，并等待它在此处显示。已经插着的设备不计入。</translation>
    </message>
    <message>
        <source>&amp;Undo last slot</source>
        <translation>撤销上一个槽位(&amp;U)</translation>
    </message>
    <message>
        <source>&amp;Save fixture...</source>
        <translation>保存夹具(&amp;S)...</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Cannot hear of: %1</source>
        <translation>无法监听：%1</translation>
    </message>
    <message>
        <source>Slot %1 is the socket of %2.</source>
        <translation>槽位 %1 绑定到 %2 所在的插口。</translation>
    </message>
    <message>
        <source>%1 is not in a USB socket the system names: it cannot be a slot.</source>
        <translation>%1 所在的 USB 插口没有系统名称，不能作为槽位。</translation>
    </message>
    <message>
        <source>That socket is slot %1 already.</source>
        <translation>该插口已是槽位 %1。</translation>
    </message>
    <message>
        <source>Every slot is learned.</source>
        <translation>所有槽位均已学习。</translation>
    </message>
    <message>
        <source>Plug a unit into the socket of slot %1.</source>
        <translation>请在槽位 %1 的插口插入一台设备。</translation>
    </message>
    <message>
        <source>Slot %1: %2</source>
        <translation>槽位 %1：%2</translation>
    </message>
    <message>
        <source>Save the fixture</source>
        <translation>保存夹具</translation>
    </message>
    <message>
        <source>Fixtures (*.fixture)</source>
        <translation>夹具文件 (*.fixture)</translation>
    </message>
</context>
<context>
    <name>PinDialog</name>
    <message>
        <source>Supervisor PIN</source>
        <translation>主管 PIN 码</translation>
    </message>
    <message>
        <source>Set the supervisor PIN</source>
        <translation>设置主管 PIN 码</translation>
    </message>
    <message>
        <source>&amp;PIN:</source>
        <translation>PIN 码(&amp;P)：</translation>
    </message>
    <message>
        <source>New &amp;PIN:</source>
        <translation>新 PIN 码(&amp;P)：</translation>
    </message>
    <message>
        <source>&amp;Again:</source>
        <translation>再输一次(&amp;A)：</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>确定</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Checking...</source>
        <translation>正在核对...</translation>
    </message>
    <message numerus="yes">
        <source>Wrong PIN. Wait %n second(s) before the next try.</source>
        <translation>
            <numerusform>PIN 码错误。请等待 %n 秒后再试。</numerusform>
        </translation>
    </message>
    <message>
        <source>The two PINs differ.</source>
        <translation>两次输入的 PIN 码不一致。</translation>
    </message>
    <message>
        <source>Wrong PIN.</source>
        <translation>PIN 码错误。</translation>
    </message>
</context>
<context>
    <name>RunSetup</name>
    <message>
        <source>Choose a report file: no unit is configured without its record.</source>
        <translation>请选择报告文件：没有记录，就不配置任何设备。</translation>
    </message>
    <message>
        <source>The report %1 ends in .json: a report is CSV, or JSON Lines named .jsonl.</source>
        <translation>报告 %1 以 .json 结尾：报告须为 CSV，或以 .jsonl 命名的 JSON Lines 文件。</translation>
    </message>
    <message>
        <source>The report %1 is the profile: choose another file.</source>
        <translation>报告 %1 就是参数方案文件：请另选一个文件。</translation>
    </message>
    <message>
        <source>Choose a profile: it holds the settings sent.</source>
        <translation>请选择参数方案：其中是要写入设备的设置。</translation>
    </message>
    <message>
        <source>Enter or scan the operator&apos;s name or badge.</source>
        <translation>请输入或扫描操作员的姓名或工牌。</translation>
    </message>
    <message>
        <source>&quot;%1&quot; names no one: enter or scan the operator&apos;s own name or badge.</source>
        <translation>“%1”不是具体的人：请输入或扫描操作员本人的姓名或工牌。</translation>
    </message>
    <message>
        <source>Without a fixture, name the units to take (by-id name, socket, USB product or VID:PID).</source>
        <translation>不使用夹具时，请指定要接收的设备（by-id 名称、插口、USB 产品名或 VID:PID）。</translation>
    </message>
    <message>
        <source>The record store&apos;s connection string carries a password, which anyone who reads the station&apos;s settings could read: put it in ~/.pgpass or a service file instead.</source>
        <translation>记录库的连接字符串中含有密码，任何能读取工位设置的人都能看到：请改放在 ~/.pgpass 或服务文件中。</translation>
    </message>
    <message>
        <source>The record store: %1</source>
        <translation>记录库：%1</translation>
    </message>
</context>
<context>
    <name>RunView</name>
    <message>
        <source>attempt %1</source>
        <translation>第 %1 次</translation>
    </message>
    <message>
        <source>Passed %1</source>
        <translation>通过 %1</translation>
    </message>
    <message>
        <source>Failed %1</source>
        <translation>失败 %1</translation>
    </message>
    <message>
        <source>Yield %1 %</source>
        <translation>良率 %1 %</translation>
    </message>
    <message>
        <source>Yield -</source>
        <translation>良率 -</translation>
    </message>
    <message>
        <source>Lot %1 of %2</source>
        <translation>批次 %1 / %2</translation>
    </message>
    <message>
        <source>Lot %1</source>
        <translation>批次 %1</translation>
    </message>
    <message>
        <source>No report: results are not recorded.</source>
        <translation>无报告：结果不会被记录。</translation>
    </message>
    <message>
        <source>Report %1 cannot be written: %2</source>
        <translation>报告 %1 无法写入：%2</translation>
    </message>
    <message numerus="yes">
        <source>Report %1: %n record(s) written.</source>
        <translation>
            <numerusform>报告 %1：已写入 %n 条记录。</numerusform>
        </translation>
    </message>
    <message>
        <source>&amp;Latest results</source>
        <translation>最近结果(&amp;L)</translation>
    </message>
    <message>
        <source>No unit yet: each unit that comes gets its tile.</source>
        <translation>暂无设备：每台接入的设备都会有自己的方块。</translation>
    </message>
    <message>
        <source>Stopped: no unit is configured</source>
        <translation>已停止：不会配置任何设备</translation>
    </message>
    <message>
        <source>%1  Slot %2  %3</source>
        <translation>%1  槽位 %2  %3</translation>
    </message>
    <message>
        <source>Store %1: asking whether it takes the records...</source>
        <translation>记录库 %1：正在询问是否接收记录……</translation>
    </message>
    <message numerus="yes">
        <source>Store %1 reachable again: %n record(s) waiting go now.</source>
        <translation>
            <numerusform>记录库 %1 已恢复连接：%n 条等待中的记录正在发送。</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>Store %1: %n record(s) waiting.</source>
        <translation>
            <numerusform>记录库 %1：%n 条记录等待中。</numerusform>
        </translation>
    </message>
    <message>
        <source>Store %1: every record is in the store.</source>
        <translation>记录库 %1：所有记录均已入库。</translation>
    </message>
    <message numerus="yes">
        <source>Store %1 unreachable: %n record(s) waiting (%2). The line goes on; they follow when it is back.</source>
        <translation>
            <numerusform>记录库 %1 无法连接：%n 条记录等待中（%2）。产线照常运行；恢复后记录将补发。</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>SetupPage</name>
    <message>
        <source>&amp;Operator:</source>
        <translation>操作员(&amp;O)：</translation>
    </message>
    <message>
        <source>&amp;Lot or work order:</source>
        <translation>批次或工单(&amp;L)：</translation>
    </message>
    <message>
        <source>&amp;Quantity:</source>
        <translation>数量(&amp;Q)：</translation>
    </message>
    <message>
        <source>&amp;Profile:</source>
        <translation>参数方案(&amp;P)：</translation>
    </message>
    <message>
        <source>&amp;Report file:</source>
        <translation>报告文件(&amp;R)：</translation>
    </message>
    <message>
        <source>&amp;Fixture:</source>
        <translation>夹具(&amp;F)：</translation>
    </message>
    <message>
        <source>&amp;Units to take:</source>
        <translation>接收的设备(&amp;U)：</translation>
    </message>
    <message>
        <source>La&amp;nguage:</source>
        <translation>语言(&amp;N)：</translation>
    </message>
    <message>
        <source>Run</source>
        <translation>本次生产</translation>
    </message>
    <message>
        <source>Station (supervisor)</source>
        <translation>工位（主管）</translation>
    </message>
    <message>
        <source>Window</source>
        <translation>窗口</translation>
    </message>
    <message>
        <source>Supervisor</source>
        <translation>主管</translation>
    </message>
    <message>
        <source>Type or scan the badge</source>
        <translation>输入或扫描工牌</translation>
    </message>
    <message>
        <source>none</source>
        <translation>无</translation>
    </message>
    <message>
        <source>C&amp;hoose...</source>
        <translation>选择(&amp;H)...</translation>
    </message>
    <message>
        <source>No fi&amp;xture</source>
        <translation>不用夹具(&amp;X)</translation>
    </message>
    <message>
        <source>The system&apos;s language</source>
        <translation>系统语言</translation>
    </message>
    <message>
        <source>No profile chosen.</source>
        <translation>未选择参数方案。</translation>
    </message>
    <message>
        <source>No fixture: the run takes the units named below, a tile for each as it comes.</source>
        <translation>不使用夹具：按下方的指定接收设备，每台接入时显示一个方块。</translation>
    </message>
    <message numerus="yes">
        <source>%n slot(s), each bound to its socket.</source>
        <translation>
            <numerusform>%n 个槽位，各自绑定到自己的插口。</numerusform>
        </translation>
    </message>
    <message>
        <source>A run is on: the setup is locked until it stops.</source>
        <translation>正在生产：停止之前设置保持锁定。</translation>
    </message>
    <message>
        <source>No supervisor PIN is set: anyone may change the station&apos;s setup.</source>
        <translation>未设置主管 PIN 码：任何人都可以更改工位设置。</translation>
    </message>
    <message>
        <source>Locked: the supervisor&apos;s PIN unlocks the station&apos;s setup.</source>
        <translation>已锁定：输入主管 PIN 码可解锁工位设置。</translation>
    </message>
    <message>
        <source>Unlocked until a run starts or Lock is pressed.</source>
        <translation>已解锁，直到开始生产或按下“锁定设置”。</translation>
    </message>
    <message>
        <source>Choose a profile</source>
        <translation>选择参数方案</translation>
    </message>
    <message>
        <source>Profiles (*.profile);;All files (*)</source>
        <translation>参数方案 (*.profile);;所有文件 (*)</translation>
    </message>
    <message>
        <source>Choose the report file</source>
        <translation>选择报告文件</translation>
    </message>
    <message>
        <source>CSV (*.csv);;JSON Lines (*.jsonl)</source>
        <translation>CSV (*.csv);;JSON Lines (*.jsonl)</translation>
    </message>
    <message>
        <source>Choose a fixture</source>
        <translation>选择夹具</translation>
    </message>
    <message>
        <source>Fixtures (*.fixture);;All files (*)</source>
        <translation>夹具文件 (*.fixture);;所有文件 (*)</translation>
    </message>
    <message>
        <source>S&amp;tation name:</source>
        <translation>工位名称(&amp;T)：</translation>
    </message>
    <message>
        <source>T&amp;ype size:</source>
        <translation>字号(&amp;Y)：</translation>
    </message>
    <message>
        <source>Choos&amp;e...</source>
        <translation>选择(&amp;E)...</translation>
    </message>
    <message>
        <source>Choose...</source>
        <translation>选择...</translation>
    </message>
    <message>
        <source>Le&amp;arn fixture...</source>
        <translation>学习夹具(&amp;A)...</translation>
    </message>
    <message>
        <source>Pass and fail soun&amp;ds</source>
        <translation>通过和失败提示音(&amp;D)</translation>
    </message>
    <message>
        <source>Change P&amp;IN...</source>
        <translation>更改 PIN 码(&amp;I)...</translation>
    </message>
    <message>
        <source>Set P&amp;IN...</source>
        <translation>设置 PIN 码(&amp;I)...</translation>
    </message>
    <message>
        <source>Remo&amp;ve PIN</source>
        <translation>删除 PIN 码(&amp;V)</translation>
    </message>
    <message>
        <source>Unloc&amp;k setup...</source>
        <translation>解锁设置(&amp;K)...</translation>
    </message>
    <message>
        <source>Loc&amp;k setup</source>
        <translation>锁定设置(&amp;K)</translation>
    </message>
    <message>
        <source>Sends %1. SHA-256 of the settings: %2.</source>
        <translation>写入：%1。设置的 SHA-256：%2。</translation>
    </message>
    <message>
        <source>Record &amp;store:</source>
        <translation>记录库(&amp;S)：</translation>
    </message>
    <message>
        <source>None; or PostgreSQL, e.g. host=db dbname=line user=station (no password)</source>
        <translation>无；或 PostgreSQL，例如 host=db dbname=line user=station（不含密码）</translation>
    </message>
    <message>
        <source>e.g. 0403:6001 or a by-id name; several apart by blanks, &quot;one with blanks&quot; in quotes</source>
        <translation>例如 0403:6001 或 by-id 名称；多个时以空格分隔，含空格的请加引号（&quot;含 空格&quot;）</translation>
    </message>
</context>
<context>
    <name>SlotTile</name>
    <message>
        <source>Empty</source>
        <translation>空闲</translation>
    </message>
    <message>
        <source>Settling</source>
        <translation>等待就绪</translation>
    </message>
    <message>
        <source>Configuring</source>
        <translation>配置中</translation>
    </message>
    <message>
        <source>PASS</source>
        <translation>通过</translation>
    </message>
    <message>
        <source>FAIL</source>
        <translation>失败</translation>
    </message>
    <message>
        <source>Busy</source>
        <translation>被占用</translation>
    </message>
    <message>
        <source>Not configured</source>
        <translation>未配置</translation>
    </message>
    <message>
        <source>Not recorded</source>
        <translation>未记录</translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation>%1 秒</translation>
    </message>
    <message>
        <source>Last result %1</source>
        <translation>上次结果 %1</translation>
    </message>
    <message>
        <source>Slot %1: %2</source>
        <translation>槽位 %1：%2</translation>
    </message>
    <message>
        <source>Slot %1</source>
        <translation>槽位 %1</translation>
    </message>
    <message>
        <source>Attempt %1</source>
        <translation>第 %1 次</translation>
    </message>
</context>
<context>
    <name>StationDriver</name>
    <message>
        <source>The record store %1 refused the station: %2</source>
        <translation>记录库 %1 拒绝了本工位：%2</translation>
    </message>
    <message>
        <source>Mend the store&apos;s setting (its database, its user and that user&apos;s rights, the password in ~/.pgpass) or clear it in the setup, then press Start. Nothing was configured.</source>
        <translation>请修正记录库设置（数据库、用户及其权限、~/.pgpass 中的密码），或在设置中清空它，然后按“开始”。未配置任何设备。</translation>
    </message>
    <message>
        <source>Not started: %1</source>
        <translation>未启动：%1</translation>
    </message>
    <message>
        <source>Two stations must never share a unit. Stop the other station first, or give each station the sockets of its own fixture; then press Start.</source>
        <translation>两个工位绝不能共用同一设备。请先停止另一个工位，或为每个工位指定其自己夹具的插口；然后按“开始”。</translation>
    </message>
    <message>
        <source>Make room on the disk, or choose a report in a folder that exists and that may be written to (Setup, F2); then press Start. No unit is configured until its record can be written.</source>
        <translation>请腾出磁盘空间，或在存在且可写的文件夹中选择报告（设置，F2）；然后按“开始”。在记录能够写入之前，不会配置任何设备。</translation>
    </message>
</context>
<context>
    <name>StationSettings</name>
    <message>
        <source>%1 cannot be written.</source>
        <translation>%1 无法写入。</translation>
    </message>
    <message>
        <source>%1 is not a settings file.</source>
        <translation>%1 不是设置文件。</translation>
    </message>
</context>
<context>
    <name>StationWindow</name>
    <message>
        <source>Vantrel Station</source>
        <translation>Vantrel 生产工位</translation>
    </message>
    <message>
        <source>Start the run (F5)</source>
        <translation>开始生产 (F5)</translation>
    </message>
    <message>
        <source>Take no unit more; those under way end (F6)</source>
        <translation>不再接收新设备，进行中的设备完成后停止 (F6)</translation>
    </message>
    <message>
        <source>Configure again each failed unit still plugged in (F7)</source>
        <translation>重新配置仍插着的每台失败设备 (F7)</translation>
    </message>
    <message>
        <source>Close the lot with its summary (F8)</source>
        <translation>结束本批次并显示汇总 (F8)</translation>
    </message>
    <message>
        <source>The run&apos;s setup (F2)</source>
        <translation>生产设置 (F2)</translation>
    </message>
    <message>
        <source>The tiles and counters (F3)</source>
        <translation>方块与计数 (F3)</translation>
    </message>
    <message>
        <source>Larger type</source>
        <translation>放大字号</translation>
    </message>
    <message>
        <source>Smaller type</source>
        <translation>缩小字号</translation>
    </message>
    <message>
        <source>Stopped.</source>
        <translation>已停止。</translation>
    </message>
    <message>
        <source>Running: the setup is locked.</source>
        <translation>生产中：设置已锁定。</translation>
    </message>
    <message>
        <source>Stopping: the units under way end.</source>
        <translation>正在停止：等待进行中的设备完成。</translation>
    </message>
    <message>
        <source>End of lot</source>
        <translation>批次结束</translation>
    </message>
    <message>
        <source>&amp;End the lot</source>
        <translation>结束批次(&amp;E)</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>取消</translation>
    </message>
    <message>
        <source>Resetting the counters needs the supervisor&apos;s PIN.</source>
        <translation>计数清零需要主管 PIN 码。</translation>
    </message>
    <message>
        <source>Unlocking the station&apos;s setup needs the supervisor&apos;s PIN.</source>
        <translation>解锁工位设置需要主管 PIN 码。</translation>
    </message>
    <message>
        <source>The PIN guards the station&apos;s setup and the counters. It is kept only as a salted hash.</source>
        <translation>PIN 码保护工位设置和计数，只以加盐哈希的形式保存。</translation>
    </message>
    <message>
        <source>The setup is not kept: %1</source>
        <translation>设置未能保存：%1</translation>
    </message>
    <message>
        <source>Lot: %1</source>
        <translation>批次：%1</translation>
    </message>
    <message>
        <source>Passed: %1 of %2</source>
        <translation>通过：%1 / %2</translation>
    </message>
    <message>
        <source>Failed: %1</source>
        <translation>失败：%1</translation>
    </message>
    <message>
        <source>Busy: %1, not recorded: %2</source>
        <translation>被占用：%1，未记录：%2</translation>
    </message>
    <message>
        <source>Yield: %1</source>
        <translation>良率：%1</translation>
    </message>
    <message>
        <source>First result: %1</source>
        <translation>首个结果：%1</translation>
    </message>
    <message>
        <source>Last result: %1</source>
        <translation>最后结果：%1</translation>
    </message>
    <message>
        <source>Run: %1</source>
        <translation>运行编号：%1</translation>
    </message>
    <message>
        <source>Report: %1</source>
        <translation>报告：%1</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>开始</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>停止</translation>
    </message>
    <message>
        <source>Retry failed</source>
        <translation>重试失败项</translation>
    </message>
    <message>
        <source>Setup</source>
        <translation>设置</translation>
    </message>
    <message>
        <source>Run view</source>
        <translation>生产视图</translation>
    </message>
    <message>
        <source>Reset counters</source>
        <translation>计数清零</translation>
    </message>
</context>
<context>
    <name>SupervisorPin</name>
    <message numerus="yes">
        <source>A PIN has at least %n character(s).</source>
        <translation>
            <numerusform>PIN 码至少需要 %n 个字符。</numerusform>
        </translation>
    </message>
    <message>
        <source>A PIN does not start or end with a blank.</source>
        <translation>PIN 码的开头和结尾不能是空格。</translation>
    </message>
</context>
</TS>
