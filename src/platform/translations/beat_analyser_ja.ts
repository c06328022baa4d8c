<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="ja_JP">
<context>
    <name>MapPicture</name>
    <message>
        <source>QRST integral map: mean of 1 beat</source>
        <translation>QRST 積分マップ: 1 心拍</translation>
    </message>
    <message>
        <source>QRST integral map: mean of %1 beats</source>
        <translation>QRST 積分マップ: %1 心拍の平均</translation>
    </message>
    <message>
        <source>QRST integral map: standard deviation over %1 beats</source>
        <translation>QRST 積分マップ: %1 心拍の標準偏差</translation>
    </message>
    <message>
        <source>QRST integral map: a standard deviation needs at least two beats</source>
        <translation>QRST 積分マップ: 標準偏差には 2 心拍以上が必要です</translation>
    </message>
    <message>
        <source>QRST integral map: beat %1 of %2, R %3 ms</source>
        <translation>QRST 積分マップ: 心拍 %1 / %2、R %3 ms</translation>
    </message>
    <message>
        <source>QRST integral maps of %1 beats in time order</source>
        <translation>%1 心拍の QRST 積分マップ (時間順)</translation>
    </message>
    <message>
        <source>QRST integral maps of the first %1 of %2 beats in time order</source>
        <translation>%2 心拍のうち最初の %1 心拍の QRST 積分マップ (時間順)</translation>
    </message>
    <message>
        <source>QRST integral map: mean of %1 less mean of %2</source>
        <translation>QRST 積分マップ: %1 の平均 − %2 の平均</translation>
    </message>
    <message>
        <source>QRST integral map: departure from the reference group</source>
        <translation>QRST 積分マップ: 基準群からの偏位</translation>
    </message>
    <message>
        <source>%1  R %2 ms</source>
        <translation>%1  R %2 ms</translation>
    </message>
    <message>
        <source>max %1 (lead %2)</source>
        <translation>最大 %1 (誘導 %2)</translation>
    </message>
    <message>
        <source>min %1 (lead %2)</source>
        <translation>最小 %1 (誘導 %2)</translation>
    </message>
    <message>
        <source>max %1 at lead %2</source>
        <translation>最大 %1 (誘導 %2)</translation>
    </message>
    <message>
        <source>min %1 at lead %2</source>
        <translation>最小 %1 (誘導 %2)</translation>
    </message>
    <message>
        <source>no isolines: the map is flat</source>
        <translation>等値線なし: マップは平坦です</translation>
    </message>
    <message>
        <source>isolines every %1 SD, the -2 and +2 SD lines heavier</source>
        <translation>等値線 %1 SD ごと、−2 と +2 SD の線を太く</translation>
    </message>
    <message>
        <source>isolines every %1 %2 from 0</source>
        <translation>等値線 0 から %1 %2 ごと</translation>
    </message>
    <message>
        <source>isolines every %1 %2, zero line heavier</source>
        <translation>等値線 %1 %2 ごと、ゼロ線を太く</translation>
    </message>
</context>
<context>
    <name>MapWindow</name>
    <message>
        <source>No measured beats yet: command c measures them.</source>
        <translation>まだ測定した心拍がありません。c で測定してください。</translation>
    </message>
    <message>
        <source>Mean</source>
        <translation>平均</translation>
    </message>
    <message>
        <source>Standard deviation</source>
        <translation>標準偏差</translation>
    </message>
    <message>
        <source>One beat</source>
        <translation>1 心拍</translation>
    </message>
    <message>
        <source>All beats</source>
        <translation>全心拍</translation>
    </message>
    <message>
        <source>Beat </source>
        <translation>心拍 </translation>
    </message>
    <message>
        <source>QRST map</source>
        <translation>QRST マップ</translation>
    </message>
    <message>
        <source> of %1</source>
        <translation> / %1</translation>
    </message>
    <message>
        <source>Export map...</source>
        <translation>マップを書き出す...</translation>
    </message>
    <message>
        <source>Export map</source>
        <translation>マップを書き出す</translation>
    </message>
    <message>
        <source>Open View &gt; QRST map after command c first.</source>
        <translation>c の後に 表示 &gt; QRST マップ を開いてください。</translation>
    </message>
    <message>
        <source>PNG image (*.png);;SVG drawing (*.svg);;PDF document (*.pdf)</source>
        <translation>PNG 画像 (*.png);;SVG 図 (*.svg);;PDF 文書 (*.pdf)</translation>
    </message>
    <message>
        <source>Departure</source>
        <translation>偏位</translation>
    </message>
    <message>
        <source>NDI %1   max |z| %2</source>
        <translation>NDI %1   最大 |z| %2</translation>
    </message>
    <message>
        <source>NDI %1   max |z| %2 at lead %3</source>
        <translation>NDI %1   最大 |z| %2 (誘導 %3)</translation>
    </message>
    <message>
        <source>lead %1</source>
        <translation>誘導 %1</translation>
    </message>
    <message>
        <source>leads %1</source>
        <translation>誘導 %1</translation>
    </message>
    <message>
        <source>%1 left out: the group gives no SD there</source>
        <translation>%1 は除外: 基準群に SD がありません</translation>
    </message>
    <message>
        <source>Choose reference group...</source>
        <translation>基準群を選ぶ...</translation>
    </message>
    <message>
        <source>Choose reference group</source>
        <translation>基準群を選ぶ</translation>
    </message>
    <message>
        <source>Reference group (*.ref.json);;All files (*)</source>
        <translation>基準群 (*.ref.json);;すべてのファイル (*)</translation>
    </message>
    <message>
        <source>QRST area</source>
        <translation>QRST 面積</translation>
    </message>
    <message>
        <source>QRS area</source>
        <translation>QRS 面積</translation>
    </message>
    <message>
        <source>ST-T area</source>
        <translation>ST-T 面積</translation>
    </message>
    <message>
        <source>Activation time</source>
        <translation>興奮到達時間 (AT)</translation>
    </message>
    <message>
        <source>Recovery time</source>
        <translation>回復時間 (RT)</translation>
    </message>
    <message>
        <source>ARI</source>
        <translation>ARI</translation>
    </message>
    <message>
        <source>No lead measures for these beats: command c measures them.</source>
        <translation>これらの心拍の誘導別の測定値がありません。コマンド c で測定します。</translation>
    </message>
    <message>
        <source>The departure view shows the QRST area: map --kind draws the others.</source>
        <translation>偏差表示は QRST 面積のみです。他の種類は map --kind で描けます。</translation>
    </message>
</context>
<context>
    <name>WindowPlatform</name>
    <message>
        <source>Working</source>
        <translation>処理中</translation>
    </message>
    <message>
        <source>Type an answer in %1, then Enter</source>
        <translation>%1 に入力して Enter を押してください</translation>
    </message>
    <message>
        <source>Click in %1</source>
        <translation>%1 をクリックしてください</translation>
    </message>
    <message>
        <source>Overview and enlarged beat (unit %1)</source>
        <translation>概観と拡大波形 (ユニット %1)</translation>
    </message>
    <message>
        <source>Print page %1 (unit %2)</source>
        <translation>印刷ページ %1 (ユニット %2)</translation>
    </message>
    <message>
        <source>Window (unit %1)</source>
        <translation>ウィンドウ (ユニット %1)</translation>
    </message>
    <message>
        <source>The fiducial points are not marked: every area is 0</source>
        <translation>基準点が未設定のため、面積はすべて 0 です</translation>
    </message>
    <message>
        <source>1 beat accepted</source>
        <translation>1 心拍を採用しました</translation>
    </message>
    <message>
        <source>%1 beats accepted</source>
        <translation>%1 心拍を採用しました</translation>
    </message>
    <message>
        <source>1 beat saved to %1</source>
        <translation>1 心拍を %1 に保存しました</translation>
    </message>
    <message>
        <source>%1 beats saved to %2</source>
        <translation>%1 心拍を %2 に保存しました</translation>
    </message>
    <message>
        <source>Not saved: the selection is emptied</source>
        <translation>保存していません: 選択は空になりました</translation>
    </message>
    <message>
        <source>Not saved: the selection is kept</source>
        <translation>保存できませんでした: 選択はそのまま残っています</translation>
    </message>
    <message>
        <source>&amp;Show the proposed points</source>
        <translation>提案点を表示(&amp;S)</translation>
    </message>
    <message>
        <source>&amp;Take the proposed points</source>
        <translation>提案点を採用(&amp;T)</translation>
    </message>
    <message>
        <source>Mark the &amp;J point after T end</source>
        <translation>T 終点の後に J 点を指定(&amp;J)</translation>
    </message>
    <message>
        <source>Click the J point in %1</source>
        <translation>%1 で J 点をクリックしてください</translation>
    </message>
    <message>
        <source>J point (end of QRS): P takes the proposed one (dashed), a right click leaves it to the proposal</source>
        <translation>J 点 (QRS の終わり): P で提案点 (破線) を採用、右クリックで提案に任せます</translation>
    </message>
    <message>
        <source>Click in %1, or press P to take the proposed points (dashed)</source>
        <translation>%1 をクリックするか、P で提案点 (破線) を採用してください</translation>
    </message>
    <message>
        <source>Click in %1 (no proposal: %2)</source>
        <translation>%1 をクリックしてください (提案なし: %2)</translation>
    </message>
    <message>
        <source>J point outside Q start..T end: it is proposed from the leads</source>
        <translation>J 点が Q 開始点から T 終点の外です。誘導から提案します</translation>
    </message>
    <message>
        <source>Proposal doubtful: %1</source>
        <translation>提案は不確か: %1</translation>
    </message>
</context>
<context>
    <name>ba::MainWindow</name>
    <message>
        <source>Console</source>
        <translation>コンソール</translation>
    </message>
    <message>
        <source>&amp;File</source>
        <translation>ファイル(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation>終了(&amp;Q)</translation>
    </message>
    <message>
        <source>&amp;View</source>
        <translation>表示(&amp;V)</translation>
    </message>
    <message>
        <source>Zoom to &amp;fit</source>
        <translation>ウィンドウに合わせる(&amp;F)</translation>
    </message>
    <message>
        <source>&amp;Actual size</source>
        <translation>実寸(&amp;A)</translation>
    </message>
    <message>
        <source>Zoom &amp;in</source>
        <translation>拡大(&amp;I)</translation>
    </message>
    <message>
        <source>Zoom &amp;out</source>
        <translation>縮小(&amp;O)</translation>
    </message>
    <message>
        <source>&amp;Window</source>
        <translation>ウィンドウ(&amp;W)</translation>
    </message>
    <message>
        <source>&amp;Cascade</source>
        <translation>重ねて表示(&amp;C)</translation>
    </message>
    <message>
        <source>&amp;Tile</source>
        <translation>並べて表示(&amp;T)</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>ヘルプ(&amp;H)</translation>
    </message>
    <message>
        <source>&amp;About beat analyser</source>
        <translation>beat analyser について(&amp;A)</translation>
    </message>
    <message>
        <source>About beat analyser</source>
        <translation>beat analyser について</translation>
    </message>
    <message>
        <source>beat analyser</source>
        <translation>beat analyser</translation>
    </message>
    <message>
        <source>The analysis has not ended. End the program now?</source>
        <translation>解析はまだ終わっていません。プログラムを終了しますか？</translation>
    </message>
    <message>
        <source>&amp;Yes</source>
        <translation>はい(&amp;Y)</translation>
    </message>
    <message>
        <source>&amp;No</source>
        <translation>いいえ(&amp;N)</translation>
    </message>
    <message>
        <source>beat analyser %1
Measures the QRST area of the mapping leads over every beat of a body-surface ECG recording that has the shape of a chosen reference beat.

Licence: MIT.
Data folder d:\data\map\ is %2</source>
        <translation>beat analyser %1
基準心拍と同じ形をした体表面心電図の各心拍について、マッピング誘導の QRST 面積を測定します。

ライセンス: MIT
データフォルダ d:\data\map\ は %2</translation>
    </message>
    <message>
        <source>Data folder: %1</source>
        <translation>データフォルダ: %1</translation>
    </message>
    <message>
        <source>Asked: %1</source>
        <translation>質問: %1</translation>
    </message>
    <message>
        <source>The results are saved. End the program now?</source>
        <translation>結果は保存済みです。プログラムを終了しますか？</translation>
    </message>
    <message>
        <source>&amp;Marking</source>
        <translation>マーキング(&amp;M)</translation>
    </message>
</context>
</TS>
