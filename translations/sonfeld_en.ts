<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>sonfeld</name>
    <message>
        <source>快速并校验</source>
        <translation>Fast and verified</translation>
    </message>
    <message>
        <source>安全模式</source>
        <translation>Secure mode</translation>
    </message>
    <message>
        <source>以下音轨会写入同一个文件，请更改名称: %1</source>
        <translation>These tracks would be written to the same file; please change their names: %1</translation>
    </message>
    <message>
        <source>%1、%2 → “%3”</source>
        <translation>%1, %2 → &quot;%3&quot;</translation>
    </message>
    <message>
        <source>无法创建文件夹“%1”。</source>
        <translation>Cannot create the folder &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>另一个 Sonfeld 正在向文件夹“%1”写入文件，请等它结束后再试。</source>
        <translation>Another Sonfeld is writing files to the folder &quot;%1&quot;. Please try again when it has finished.</translation>
    </message>
    <message>
        <source>无法在文件夹“%1”中写入文件。</source>
        <translation>Cannot write files in the folder &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>无法把文件保存为“%1”：%2</source>
        <translation>Cannot save the file as &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>名称为空，不能用作文件名。</source>
        <translation>The name is empty and cannot be used as a file name.</translation>
    </message>
    <message>
        <source>无法写入标签：%1</source>
        <translation>Cannot write the tags: %1</translation>
    </message>
    <message>
        <source>无法保存封面“%1”。</source>
        <translation>Cannot save the cover &quot;%1&quot;.</translation>
    </message>
    <message>
        <source>按模板得到的路径“%1”不在输出文件夹中</source>
        <translation>The path &quot;%1&quot; made by the template is outside the output folder</translation>
    </message>
    <message>
        <source>模板字段 {%1} 的宽度无效</source>
        <translation>The template field {%1} has an invalid width</translation>
    </message>
    <message>
        <source>模板字段 {%1} 不是数字，不能指定宽度</source>
        <translation>The template field {%1} is not a number and cannot have a width</translation>
    </message>
    <message>
        <source>模板中有未知字段 {%1}</source>
        <translation>The template has an unknown field {%1}</translation>
    </message>
    <message>
        <source>模板中的“{”没有配对的“}”</source>
        <translation>A &quot;{&quot; in the template has no matching &quot;}&quot;</translation>
    </message>
    <message>
        <source>模板中的“}”没有配对的“{”</source>
        <translation>A &quot;}&quot; in the template has no matching &quot;{&quot;</translation>
    </message>
    <message>
        <source>按模板得到的文件名为空</source>
        <translation>The file name made by the template is empty</translation>
    </message>
    <message>
        <source>按模板得到的路径“%1”中有空的文件夹名或文件名</source>
        <translation>The path &quot;%1&quot; made by the template has an empty folder or file name</translation>
    </message>
    <message>
        <source>例如: %1</source>
        <translation>Example: %1</translation>
    </message>
    <message>
        <source>模板有误: %1</source>
        <translation>Template error: %1</translation>
    </message>
    <message>
        <source>查询失败: %1 无响应（超时）</source>
        <translation>Lookup failed: %1 did not answer (timed out)</translation>
    </message>
    <message>
        <source>查询失败: 无法连接 %1</source>
        <translation>Lookup failed: cannot connect to %1</translation>
    </message>
    <message>
        <source>查询失败: %1 繁忙 (HTTP 503)</source>
        <translation>Lookup failed: %1 is busy (HTTP 503)</translation>
    </message>
    <message>
        <source>查询失败: %1 服务器错误 (HTTP %2)</source>
        <translation>Lookup failed: %1 server error (HTTP %2)</translation>
    </message>
    <message>
        <source>查询失败: %1 的回答无法识别</source>
        <translation>Lookup failed: the answer from %1 cannot be read</translation>
    </message>
    <message>
        <source>MusicBrainz 找到 %1 个发行版本，已用第 %2 个</source>
        <translation>MusicBrainz found %1 releases; using number %2</translation>
    </message>
    <message>
        <source>已从 MusicBrainz 取得名称（按曲目时长匹配）</source>
        <translation>Names from MusicBrainz (matched by track lengths)</translation>
    </message>
    <message>
        <source>已从 MusicBrainz 取得名称</source>
        <translation>Names from MusicBrainz</translation>
    </message>
    <message>
        <source>已从 gnudb 取得名称</source>
        <translation>Names from gnudb</translation>
    </message>
    <message>
        <source>在线数据库中没有这张光盘，使用 CD-TEXT</source>
        <translation>This disc is not in the online databases; using CD-TEXT</translation>
    </message>
    <message>
        <source>在线数据库中没有这张光盘</source>
        <translation>This disc is not in the online databases</translation>
    </message>
    <message>
        <source>正在查询光盘名称…</source>
        <translation>Looking up the disc&apos;s names…</translation>
    </message>
    <message>
        <source>没有 MusicBrainz 发行版本，无法取得封面</source>
        <translation>No MusicBrainz release, so no cover can be fetched</translation>
    </message>
    <message>
        <source>此发行版本没有封面</source>
        <translation>This release has no cover</translation>
    </message>
    <message>
        <source>封面不是 JPEG 或 PNG 图像</source>
        <translation>The cover is not a JPEG or PNG image</translation>
    </message>
    <message>
        <source>精确 (可信度 %1)</source>
        <translation>Accurate (confidence %1)</translation>
    </message>
    <message>
        <source>不匹配</source>
        <translation>Mismatch</translation>
    </message>
    <message>
        <source>数据库中无此光盘</source>
        <translation>Disc not in the database</translation>
    </message>
    <message>
        <source>无法连接</source>
        <translation>Cannot connect</translation>
    </message>
    <message>
        <source>%1；测试与复制 CRC 不一致</source>
        <translation>%1; test and copy CRCs differ</translation>
    </message>
    <message>
        <source>速度 %1 · 剩余 %2 · 已完成 %3/%4 首</source>
        <translation>Speed %1 · %2 left · %3/%4 tracks done</translation>
    </message>
    <message>
        <source>手动</source>
        <translation>Manual</translation>
    </message>
    <message>
        <source>未转换</source>
        <translation>Not ripped</translation>
    </message>
    <message>
        <source>转换中</source>
        <translation>Ripping</translation>
    </message>
    <message>
        <source>正在读取</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>完成转换</source>
        <translation>Ripped</translation>
    </message>
    <message>
        <source>用户取消</source>
        <translation>Cancelled</translation>
    </message>
    <message>
        <source>转换失败</source>
        <translation>Failed</translation>
    </message>
    <message>
        <source>数据轨</source>
        <translation>Data track</translation>
    </message>
    <message>
        <source>重新读取</source>
        <translation>Re-reading</translation>
    </message>
    <message>
        <source>请选择CD所在的驱动器,</source>
        <translation>Please select the drive that holds the CD.</translation>
    </message>
    <message>
        <source>没有选择驱动器</source>
        <translation>No drive selected</translation>
    </message>
    <message>
        <source>在输出目录找到同名文件, <byte value="xd"/>
请更改输出路径或者更改文件名. <byte value="xd"/>
</source>
        <translation>A file with the same name exists in the output folder.<byte value="xd"/>
Please change the output folder or the file name.<byte value="xd"/>
</translation>
    </message>
    <message>
        <source>找到同名的文件</source>
        <translation>File name already used</translation>
    </message>
    <message>
        <source>请确定你已经设置了输出目录以及停止了当前CD的播放 </source>
        <translation>Please make sure you have set the output folder and stopped playing the CD.</translation>
    </message>
    <message>
        <source>提示</source>
        <translation>Note</translation>
    </message>
    <message>
        <source>转换完成!</source>
        <translation>Ripping finished!</translation>
    </message>
    <message>
        <source>完成</source>
        <translation>Done</translation>
    </message>
    <message>
        <source>没有需要转换的音轨。</source>
        <translation>There are no tracks to rip.</translation>
    </message>
    <message>
        <source>文件名重复</source>
        <translation>Duplicate file names</translation>
    </message>
    <message>
        <source>你是否确定停止转换?</source>
        <translation>Do you really want to stop ripping?</translation>
    </message>
    <message>
        <source>关闭应用程序?</source>
        <translation>Close the program?</translation>
    </message>
    <message>
        <source>Sonfeld 音频CD提取工具 · 自由软件 · © Sonfeld 开发者</source>
        <translation>Sonfeld · free CD ripper · © Sonfeld developers</translation>
    </message>
    <message>
        <source>音轨</source>
        <translation>Track</translation>
    </message>
    <message>
        <source>名称</source>
        <translation>Name</translation>
    </message>
    <message>
        <source>艺术家</source>
        <translation>Artist</translation>
    </message>
    <message>
        <source>时间</source>
        <translation>Time</translation>
    </message>
    <message>
        <source>转换进度</source>
        <translation>Progress</translation>
    </message>
    <message>
        <source>状态</source>
        <translation>Status</translation>
    </message>
    <message>
        <source>校验</source>
        <translation>Verify</translation>
    </message>
    <message>
        <source>主页</source>
        <translation>Home page</translation>
    </message>
    <message>
        <source>电子邮件</source>
        <translation>E-mail</translation>
    </message>
    <message>
        <source>关于</source>
        <translation>About</translation>
    </message>
    <message>
        <source>版本: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>专辑艺术家:</source>
        <translation>Album artist:</translation>
    </message>
    <message>
        <source>专辑:</source>
        <translation>Album:</translation>
    </message>
    <message>
        <source>年份:</source>
        <translation>Year:</translation>
    </message>
    <message>
        <source>流派:</source>
        <translation>Genre:</translation>
    </message>
    <message>
        <source>碟号:</source>
        <translation>Disc:</translation>
    </message>
    <message>
        <source>来源：</source>
        <translation>Source: </translation>
    </message>
    <message>
        <source>提取CD音乐</source>
        <translation>Rip CD</translation>
    </message>
    <message>
        <source>音乐设定</source>
        <translation>Settings</translation>
    </message>
    <message>
        <source>压缩与顺序</source>
        <translation>Compression and order</translation>
    </message>
    <message>
        <source>0 最快，8 最小；默认 5</source>
        <translation>0 fastest, 8 smallest; default 5</translation>
    </message>
    <message>
        <source>1000 最快，4000 最小；默认 2000</source>
        <translation>1000 fastest, 4000 smallest; default 2000</translation>
    </message>
    <message>
        <source>顺序模式</source>
        <translation>Sequential mode</translation>
    </message>
    <message>
        <source>一次只读取并编码一首音轨，两首之间停一秒；不勾选时边读取边编码</source>
        <translation>Read and encode one track at a time, with a one-second pause between tracks; when unticked, reading and encoding overlap</translation>
    </message>
    <message>
        <source>FLAC 级别</source>
        <translation>FLAC level</translation>
    </message>
    <message>
        <source>APE 级别</source>
        <translation>APE level</translation>
    </message>
    <message>
        <source>CD/DVD驱动器选择</source>
        <translation>CD/DVD drive</translation>
    </message>
    <message>
        <source>保存路径</source>
        <translation>Output folder</translation>
    </message>
    <message>
        <source>转换为</source>
        <translation>Rip to</translation>
    </message>
    <message>
        <source>音轨列表</source>
        <translation>Track list</translation>
    </message>
    <message>
        <source>页面</source>
        <translation>Pages</translation>
    </message>
    <message>
        <source>界面语言</source>
        <translation>Interface language</translation>
    </message>
    <message>
        <source>重新启动后生效</source>
        <translation>Takes effect after a restart</translation>
    </message>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
    <message>
        <source>刷新</source>
        <translation>Refresh</translation>
    </message>
    <message>
        <source>查询</source>
        <translation>Look up</translation>
    </message>
    <message>
        <source>选项</source>
        <translation>Options</translation>
    </message>
    <message>
        <source>帮助</source>
        <translation>Help</translation>
    </message>
    <message>
        <source>驱动器及转换格式选择</source>
        <translation>Drive and format</translation>
    </message>
    <message>
        <source>CD/DVD驱动器选择:</source>
        <translation>CD/DVD drive:</translation>
    </message>
    <message>
        <source>保存路径:</source>
        <translation>Output folder:</translation>
    </message>
    <message>
        <source>转换为:</source>
        <translation>Rip to:</translation>
    </message>
    <message>
        <source>CD播放列表</source>
        <translation>CD track list</translation>
    </message>
    <message>
        <source>详细列表</source>
        <translation>Details</translation>
    </message>
    <message>
        <source>选择全部</source>
        <translation>Select all</translation>
    </message>
    <message>
        <source>反向选择</source>
        <translation>Invert selection</translation>
    </message>
    <message>
        <source>名称: </source>
        <translation>Name: </translation>
    </message>
    <message>
        <source>音质</source>
        <translation>Quality</translation>
    </message>
    <message>
        <source>Wave 编码器:</source>
        <translation>Wave encoder:</translation>
    </message>
    <message>
        <source>文件信息</source>
        <translation>File information</translation>
    </message>
    <message>
        <source>为MP3添加名称标签</source>
        <translation>Add title tags to MP3</translation>
    </message>
    <message>
        <source>为MP3添加音轨标签</source>
        <translation>Add track tags to MP3</translation>
    </message>
    <message>
        <source>为MP3添加专辑标签</source>
        <translation>Add album tags to MP3</translation>
    </message>
    <message>
        <source>校验记录</source>
        <translation>Verification records</translation>
    </message>
    <message>
        <source>在文件旁写入提取日志</source>
        <translation>Write a rip log next to the files</translation>
    </message>
    <message>
        <source>在文件旁写入 CUE 表</source>
        <translation>Write a CUE sheet next to the files</translation>
    </message>
    <message>
        <source>保存设定</source>
        <translation>Save settings</translation>
    </message>
    <message>
        <source>名称与标签</source>
        <translation>Names and tags</translation>
    </message>
    <message>
        <source>自动查询</source>
        <translation>Look up automatically</translation>
    </message>
    <message>
        <source>写入完整标签</source>
        <translation>Write full tags</translation>
    </message>
    <message>
        <source>嵌入封面</source>
        <translation>Embed cover</translation>
    </message>
    <message>
        <source>文件名模板:</source>
        <translation>File name template:</translation>
    </message>
    <message>
        <source>{albumartist} {album} {year} {disc} {disctotal} {track:02} {tracktotal} {title} {artist}；&quot;/&quot; 分出子文件夹</source>
        <translation>{albumartist} {album} {year} {disc} {disctotal} {track:02} {tracktotal} {title} {artist}; &quot;/&quot; makes sub-folders</translation>
    </message>
    <message>
        <source>文件名模板有误，未保存: %1</source>
        <translation>The file name template is wrong and was not saved: %1</translation>
    </message>
    <message>
        <source>查询已停止：提取已开始，使用当前名称</source>
        <translation>Lookup stopped: ripping has started with the current names</translation>
    </message>
    <message>
        <source>读取</source>
        <translation>Reading</translation>
    </message>
    <message>
        <source>测试并复制</source>
        <translation>Test and copy</translation>
    </message>
    <message>
        <source>去加重 (仅对带预加重标志的音轨)</source>
        <translation>De-emphasis (only tracks flagged with pre-emphasis)</translation>
    </message>
    <message>
        <source> 采样</source>
        <translation> samples</translation>
    </message>
    <message>
        <source>读取模式</source>
        <translation>Reading mode</translation>
    </message>
    <message>
        <source>读取偏移</source>
        <translation>Read offset</translation>
    </message>
    <message>
        <source>本次提取的音轨均与 AccurateRip 不匹配，但在读取偏移 %1 采样处匹配。
是否为驱动器“%2”保存读取偏移 %1？</source>
        <translation>None of the ripped tracks matched AccurateRip, but they match at a read offset of %1 samples.
Save the read offset %1 for the drive &quot;%2&quot;?</translation>
    </message>
    <message>
        <source>提取结束后自动弹出CD</source>
        <translation>Eject the CD when ripping ends</translation>
    </message>
    <message>
        <source>启用智能向导</source>
        <translation>Enable the wizard</translation>
    </message>
    <message>
        <source>CPU使用率</source>
        <translation>CPU usage</translation>
    </message>
    <message>
        <source>自动</source>
        <translation>Automatic</translation>
    </message>
    <message>
        <source>不覆盖同名文件</source>
        <translation>Do not overwrite files with the same name</translation>
    </message>
    <message>
        <source>保存</source>
        <translation>Save</translation>
    </message>
    <message>
        <source>取消</source>
        <translation>Cancel</translation>
    </message>
    <message>
        <source>选择发行版本</source>
        <translation>Choose a release</translation>
    </message>
    <message>
        <source>有多个发行版本与这张光盘相符，请选择一个:</source>
        <translation>Several releases match this disc. Please choose one:</translation>
    </message>
    <message>
        <source>标题</source>
        <translation>Title</translation>
    </message>
    <message>
        <source>日期</source>
        <translation>Date</translation>
    </message>
    <message>
        <source>国家</source>
        <translation>Country</translation>
    </message>
    <message>
        <source>厂牌</source>
        <translation>Label</translation>
    </message>
    <message>
        <source>目录号</source>
        <translation>Catalogue number</translation>
    </message>
    <message>
        <source>条形码</source>
        <translation>Barcode</translation>
    </message>
    <message>
        <source>音轨数</source>
        <translation>Tracks</translation>
    </message>
    <message>
        <source>未找到光驱 — 可打开光盘镜像</source>
        <translation>No drive found — you can open a disc image</translation>
    </message>
    <message>
        <source>打开镜像…</source>
        <translation>Open image…</translation>
    </message>
    <message>
        <source>打开光盘镜像</source>
        <translation>Open disc image</translation>
    </message>
    <message>
        <source>最近打开的镜像</source>
        <translation>Recent images</translation>
    </message>
    <message>
        <source>(无)</source>
        <translation>(none)</translation>
    </message>
    <message>
        <source>不支持的文件</source>
        <translation>Unsupported file</translation>
    </message>
    <message>
        <source>正在提取，结束后才能打开镜像。</source>
        <translation>Ripping is in progress; an image can be opened when it ends.</translation>
    </message>
    <message>
        <source>弹出</source>
        <translation>Eject</translation>
    </message>
    <message>
        <source>提取完成：%1 首音轨全部完成。</source>
        <translation>Ripping finished: all %1 tracks done.</translation>
    </message>
    <message>
        <source>提取结束：完成 %1/%2 首音轨。</source>
        <translation>Ripping ended: %1 of %2 tracks done.</translation>
    </message>
    <message>
        <source>备注:</source>
        <translation>Comment:</translation>
    </message>
    <message>
        <source>写入每条音轨的注释标签</source>
        <translation>Written into every track&apos;s comment tag</translation>
    </message>
    <message>
        <source>转换结束</source>
        <translation>Ripping ended</translation>
    </message>
    <message>
        <source>已转换 %1 首音轨（共 %2 首）。</source>
        <translation>%1 of %2 tracks ripped.</translation>
    </message>
    <message>
        <source>AccurateRip: %1 首验证准确，%2 首不匹配，%3 首无法校验。</source>
        <translation>AccurateRip: %1 accurate, %2 mismatched, %3 could not be checked.</translation>
    </message>
    <message>
        <source>已证实 %1 首（数据库或两次一致的读取），%2 首未经证实，%3 首可疑。</source>
        <translation>%1 proven (by a database or two reads that agree), %2 unproven, %3 suspicious.</translation>
    </message>
    <message>
        <source>CTDB: 这次抓取与数据库中的光盘不一致；差异不大时可以用“修复”改正。</source>
        <translation>CTDB: this rip differs from the disc in the database; when the difference is small, “Repair” can correct it.</translation>
    </message>
    <message>
        <source>%1 首未能转换:</source>
        <translation>%1 track(s) not ripped:</translation>
    </message>
    <message>
        <source>再次点击“提取CD音乐”会重新转换未能转换的音轨。</source>
        <translation>Press &quot;Rip CD&quot; again to retry the tracks that were not ripped.</translation>
    </message>
    <message>
        <source>不匹配的音轨可能读错了: 请清洁光盘、检查光驱的读取偏移，然后重新转换。</source>
        <translation>Mismatched tracks may have been read wrong: clean the disc, check the drive&apos;s read offset and rip them again.</translation>
    </message>
    <message>
        <source>输出文件夹: %1</source>
        <translation>Output folder: %1</translation>
    </message>
    <message>
        <source>日志: %1</source>
        <translation>Log: %1</translation>
    </message>
    <message>
        <source>打开文件夹</source>
        <translation>Open folder</translation>
    </message>
    <message>
        <source>打开日志</source>
        <translation>Open log</translation>
    </message>
    <message>
        <source>关闭</source>
        <translation>Close</translation>
    </message>
    <message>
        <source>音轨没有读到结尾。</source>
        <translation>The track was not read to its end.</translation>
    </message>
    <message>
        <source>停止转换</source>
        <translation>Stop ripping</translation>
    </message>
    <message>
        <source>忘记此光盘的名称</source>
        <translation>Forget this disc&apos;s names</translation>
    </message>
    <message>
        <source>不再保留为这张光盘保存的名称、修改和所选发行版本</source>
        <translation>No longer keep the names, edits and chosen release saved for this disc</translation>
    </message>
    <message>
        <source>忘记为这张光盘保存的名称、所做的修改和所选的发行版本？</source>
        <translation>Forget the names, the edits and the chosen release saved for this disc?</translation>
    </message>
    <message>
        <source>质量</source>
        <translation>MP3 quality</translation>
    </message>
    <message>
        <source>固定码率</source>
        <translation>Constant bit rate</translation>
    </message>
    <message>
        <source>Opus 码率</source>
        <translation>Opus bit rate</translation>
    </message>
    <message>
        <source>使用的库…</source>
        <translation>Libraries…</translation>
    </message>
    <message>
        <source>许可: GPL-3.0 或更高版本</source>
        <translation>Licence: GPL-3.0 or later</translation>
    </message>
    <message>
        <source>Sonfeld 使用以下库:</source>
        <translation>Sonfeld uses these libraries:</translation>
    </message>
    <message>
        <source>使用的库</source>
        <translation>Libraries</translation>
    </message>
    <message>
        <source>help/index.html</source>
        <translation>help/index.en.html</translation>
    </message>
    <message>
        <source>选择保存路径</source>
        <translation>Choose the output folder</translation>
    </message>
    <message>
        <source>ID3 版本</source>
        <translation>ID3 version</translation>
    </message>
    <message>
        <source>整轨只能保存为 FLAC、APE 或 WAV 文件：%1 的音轨间隙不能精确到采样。</source>
        <translation>A disc can be saved as one file only in FLAC, APE or WAV: the gaps between tracks are not sample-exact in %1.</translation>
    </message>
    <message>
        <source>光盘镜像 (*.cue *.toc *.nrg *.flac *.ape *.wv *.tta *.m4a *.CUE *.TOC *.NRG *.FLAC *.APE *.WV *.TTA *.M4A);;所有文件 (*)</source>
        <translation>Disc images (*.cue *.toc *.nrg *.flac *.ape *.wv *.tta *.m4a *.CUE *.TOC *.NRG *.FLAC *.APE *.WV *.TTA *.M4A);;All files (*)</translation>
    </message>
    <message>
        <source>无法打开“%1”：只能打开 CUE、TOC 或 NRG 光盘镜像，或带 CUE 表的 FLAC、APE、WavPack、TTA、ALAC 整轨文件。</source>
        <translation>Cannot open &quot;%1&quot;: only CUE, TOC or NRG disc images can be opened, or a whole-disc FLAC, APE, WavPack, TTA or ALAC file with its CUE sheet.</translation>
    </message>
    <message>
        <source>CUE 表的文字编码</source>
        <translation>Text encoding of the CUE sheet</translation>
    </message>
    <message>
        <source>无法确定“%1”的文字编码，请选择文字显示正确的一项：</source>
        <translation>The text encoding of &quot;%1&quot; is uncertain. Choose the one whose text reads correctly:</translation>
    </message>
    <message>
        <source>选择封面…</source>
        <translation>Choose cover…</translation>
    </message>
    <message>
        <source>用本地的 JPEG 或 PNG 图像作为封面</source>
        <translation>Use a local JPEG or PNG image as the cover</translation>
    </message>
    <message>
        <source>选择封面</source>
        <translation>Choose cover</translation>
    </message>
    <message>
        <source>图像 (*.jpg *.jpeg *.png)</source>
        <translation>Images (*.jpg *.jpeg *.png)</translation>
    </message>
    <message>
        <source>厂牌:</source>
        <translation>Label:</translation>
    </message>
    <message>
        <source>目录号:</source>
        <translation>Catalogue no.:</translation>
    </message>
    <message>
        <source>条形码:</source>
        <translation>Barcode:</translation>
    </message>
    <message>
        <source>封面 %1 × %2</source>
        <translation>Cover %1 × %2</translation>
    </message>
    <message>
        <source>无封面</source>
        <translation>No cover</translation>
    </message>
    <message>
        <source>“%1”大于 16 MiB，不能作为封面。</source>
        <translation>&quot;%1&quot; is larger than 16 MiB and cannot be the cover.</translation>
    </message>
    <message>
        <source>无法读取“%1”。</source>
        <translation>&quot;%1&quot; cannot be read.</translation>
    </message>
    <message>
        <source>“%1”不是 JPEG 或 PNG 图像，不能作为封面。</source>
        <translation>&quot;%1&quot; is not a JPEG or PNG image and cannot be the cover.</translation>
    </message>
    <message>
        <source>介质</source>
        <translation>Medium</translation>
    </message>
    <message>
        <source>介质数</source>
        <translation>Media</translation>
    </message>
    <message>
        <source>模板中的“[ ]”不能嵌套</source>
        <translation>Sections in &quot;[ ]&quot; cannot be nested in the template</translation>
    </message>
    <message>
        <source>模板中的“]”没有配对的“[”</source>
        <translation>A &quot;]&quot; in the template has no matching &quot;[&quot;</translation>
    </message>
    <message>
        <source>模板中的“[”没有配对的“]”</source>
        <translation>A &quot;[&quot; in the template has no matching &quot;]&quot;</translation>
    </message>
    <message>
        <source>模板“%1”含有“%2”</source>
        <translation>The template &quot;%1&quot; contains &quot;%2&quot;</translation>
    </message>
    <message>
        <source>按时长近似匹配</source>
        <translation>matched by track lengths, not exact</translation>
    </message>
    <message>
        <source>查询失败: %1 回答过大</source>
        <translation>Lookup failed: the answer from %1 is too large</translation>
    </message>
    <message>
        <source>gnudb 找到 %1 个条目，已用第 %2 个</source>
        <translation>gnudb found %1 entries; using number %2</translation>
    </message>
    <message>
        <source>已从 gnudb 取得名称（%1）</source>
        <translation>Names from gnudb (%1)</translation>
    </message>
    <message>
        <source>无法在文件夹“%1”中写入文件：%2</source>
        <translation>Cannot write files in the folder &quot;%1&quot;: %2</translation>
    </message>
    <message>
        <source>名称“%1”不能用作文件名。</source>
        <translation>The name &quot;%1&quot; cannot be used as a file name.</translation>
    </message>
    <message>
        <source>整轨把整张光盘存为一个文件：请勾选全部音轨，或在“音乐设定”中把输出方式改为分轨。</source>
        <translation>One file per disc holds the whole disc: tick every audio track, or set the output mode to one file per track in the settings.</translation>
    </message>
    <message>
        <source>分轨</source>
        <translation>One file per track</translation>
    </message>
    <message>
        <source>整轨</source>
        <translation>One file per disc</translation>
    </message>
    <message>
        <source>分轨：每首音轨一个文件；整轨：整张光盘一个 FLAC、APE 或 WAV 文件，附 CUE 表</source>
        <translation>One file per track, or the whole disc in one FLAC, APE or WAV file with its CUE sheet</translation>
    </message>
    <message>
        <source>输出方式</source>
        <translation>Output mode</translation>
    </message>
    <message>
        <source>旧光驱模式</source>
        <translation>Old drive mode</translation>
    </message>
    <message>
        <source>修复</source>
        <translation>Repair</translation>
    </message>
    <message>
        <source>用 CTDB 的恢复数据修复一次已完成的抓取</source>
        <translation>Repair a finished rip with the CTDB&apos;s recovery data</translation>
    </message>
    <message>
        <source>选择要修复的抓取日志</source>
        <translation>Choose the log of the rip to repair</translation>
    </message>
    <message>
        <source>抓取日志 (*.log)</source>
        <translation>Rip logs (*.log)</translation>
    </message>
    <message>
        <source>正在修复: %1</source>
        <translation>Repairing: %1</translation>
    </message>
    <message>
        <source>正在抓取或修复，请在结束后再修复。</source>
        <translation>A rip or a repair is running; repair once it has ended.</translation>
    </message>
    <message>
        <source>修复完成：按 CTDB 的恢复数据修正了 %1 个采样，修正后的音频与数据库的光盘 CRC 一致。重写的文件: %2
修复记录: %3</source>
        <translation>Repaired: %1 samples corrected from the CTDB&apos;s recovery data; the corrected audio has the database&apos;s disc CRC. Files rewritten: %2
Repair log: %3</translation>
    </message>
    <message>
        <source>CTDB 确认这次抓取精确，无需修复。</source>
        <translation>The CTDB confirms this rip as accurate: nothing to repair.</translation>
    </message>
    <message>
        <source>无法修复，文件没有任何改动。
%1</source>
        <translation>The rip cannot be repaired; no file was changed.
%1</translation>
    </message>
    <message>
        <source>无法修复，文件没有任何改动。
这是有损格式的抓取，它的文件不是光盘上的音频：只有在抓取刚结束、窗口仍保留着它的音频时，才能在窗口中修复。</source>
        <translation>The rip cannot be repaired; no file was changed.
This is a lossy rip, whose files are not the disc&apos;s audio: it can be repaired only in the window right after the rip, while the window still keeps its audio.</translation>
    </message>
    <message>
        <source>修复失败。
%1</source>
        <translation>The repair failed.
%1</translation>
    </message>
    <message>
        <source>默认勾选隐藏音轨 (音轨 0)</source>
        <translation>Tick the hidden track (track 0) by default</translation>
    </message>
    <message>
        <source>完成 (未证实)</source>
        <translation>Ripped (unproven)</translation>
    </message>
    <message>
        <source>完成 (可疑)</source>
        <translation>Ripped (suspicious)</translation>
    </message>
    <message>
        <source>CTDB 精确 (可信度 %1, 偏移 %2)</source>
        <translation>CTDB: accurate (confidence %1, offset %2)</translation>
    </message>
    <message>
        <source>CTDB 精确 (可信度 %1)</source>
        <translation>CTDB: accurate (confidence %1)</translation>
    </message>
    <message>
        <source>CTDB 不匹配</source>
        <translation>CTDB: mismatch</translation>
    </message>
    <message>
        <source>CTDB 无此光盘</source>
        <translation>CTDB: disc not in the database</translation>
    </message>
    <message>
        <source>%1；可疑</source>
        <translation>%1; suspicious</translation>
    </message>
</context>
</TS>
