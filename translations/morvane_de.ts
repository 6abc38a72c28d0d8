<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE">
<context>
    <name>Messages</name>
    <message>
        <source>Please enter numerical.</source>
        <translation>Bitte geben Sie eine Zahl ein.</translation>
    </message>
    <message>
        <source>Please select a file by clicking the check box!</source>
        <translation>Bitte wählen Sie eine Datei aus, indem Sie ihr Kontrollkästchen anklicken!</translation>
    </message>
    <message>
        <source>An unknown error occurred.</source>
        <translation>Ein unbekannter Fehler ist aufgetreten.</translation>
    </message>
    <message>
        <source>Convert a whole batch of clips for iPod, iPhone, PSP or your phone in one go.</source>
        <translation>Wandeln Sie viele Clips für iPod, iPhone, PSP oder Ihr Handy in einem Durchgang um.</translation>
    </message>
    <message>
        <source>Trim, crop and add your own watermark before you convert: Edit &gt; Trim, Crop, Water Mark.</source>
        <translation>Vor dem Umwandeln kürzen, zuschneiden und mit eigenem Wasserzeichen versehen: Bearbeiten &gt; Kürzen, Zuschneiden, Wasserzeichen.</translation>
    </message>
    <message>
        <source>Keep a still of any moment: the preview&apos;s camera button saves it as BMP or JPEG.</source>
        <translation>Halten Sie jeden Moment als Standbild fest: Die Kamera-Schaltfläche der Vorschau speichert es als BMP oder JPEG.</translation>
    </message>
    <message>
        <source>130 ready-made profiles in 32 groups, from Apple TV to H.265, AV1 and WebM.</source>
        <translation>130 fertige Profile in 32 Gruppen, von Apple TV bis H.265, AV1 und WebM.</translation>
    </message>
    <message>
        <source>Tip: set the work priority to Idle (Tools &gt; Preference) to keep working while you convert.</source>
        <translation>Tipp: Setzen Sie die Arbeitspriorität auf „Leerlauf“ (Extras &gt; Einstellungen), um während des Umwandelns weiterzuarbeiten.</translation>
    </message>
    <message>
        <source>A newer Morvane MP4 Video Converter may be out: see what is new.</source>
        <translation>Vielleicht gibt es einen neueren Morvane MP4 Video Converter: Sehen Sie nach, was neu ist.</translation>
    </message>
    <message>
        <source>Questions or ideas? Write to us: we read every message.</source>
        <translation>Fragen oder Ideen? Schreiben Sie uns: Wir lesen jede Nachricht.</translation>
    </message>
    <message>
        <source>the source has no video, and a DV file cannot hold sound alone</source>
        <translation>die Quelle hat kein Video, und eine DV-Datei kann keinen Ton allein enthalten</translation>
    </message>
    <message>
        <source>Error output Video Size.Use the default size 320x240?</source>
        <translation>Ungültige Ausgabe-Bildgröße. Die Standardgröße 320x240 verwenden?</translation>
    </message>
    <message>
        <source>Warning</source>
        <translation>Warnung</translation>
    </message>
    <message>
        <source>Input Error!</source>
        <translation>Eingabefehler!</translation>
    </message>
    <message>
        <source>%1 Second</source>
        <translation>%1 Sekunden</translation>
    </message>
    <message>
        <source>Water Mark  %1</source>
        <translation>Wasserzeichen  %1</translation>
    </message>
    <message>
        <source>Frame Size must be a multiple of 2.
The correct value:%1</source>
        <translation>Die Bildgröße muss ein Vielfaches von 2 sein.
Der korrigierte Wert: %1</translation>
    </message>
    <message>
        <source>Cannot create output directory:%1.It will create default directory %2!</source>
        <translation>Der Ausgabeordner %1 kann nicht angelegt werden. Stattdessen wird der Standardordner %2 angelegt!</translation>
    </message>
    <message>
        <source>Do you want to upgrade to %1 %2 now?</source>
        <translation>Möchten Sie jetzt auf %1 %2 aktualisieren?</translation>
    </message>
    <message>
        <source>%1: the file name is not valid UTF-8 text; rename the file to convert it</source>
        <translation>%1: Der Dateiname ist kein gültiger UTF-8-Text; benennen Sie die Datei um, um sie umzuwandeln</translation>
    </message>
    <message>
        <source>%1: is %2, not a regular file; only regular files can be converted</source>
        <translation>%1: ist %2, keine gewöhnliche Datei; nur gewöhnliche Dateien können umgewandelt werden</translation>
    </message>
    <message>
        <source>warning: %1 decode error, the source is damaged or cut short</source>
        <translation>Warnung: %1 Dekodierfehler, die Quelle ist beschädigt oder unvollständig</translation>
    </message>
    <message>
        <source>warning: %1 decode errors, the source is damaged or cut short</source>
        <translation>Warnung: %1 Dekodierfehler, die Quelle ist beschädigt oder unvollständig</translation>
    </message>
    <message>
        <source>the start %1 is beyond the end of the source (duration %2)</source>
        <translation>der Anfang %1 liegt hinter dem Ende der Quelle (Dauer %2)</translation>
    </message>
    <message>
        <source>Cannot write the snapshot %1: %2</source>
        <translation>Der Schnappschuss %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>The conversion failed.</source>
        <translation>Die Umwandlung ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Failed</source>
        <translation>Fehlgeschlagen</translation>
    </message>
    <message>
        <source>Copy writes the source&apos;s video as it is: frame size, frame rate, bit rate, zoom, crop, effects and watermark do not apply. A trimmed clip starts at the key frame at or before its start.</source>
        <translation>Kopieren übernimmt das Video der Quelle unverändert: Bildgröße, Bildrate, Bitrate, Zoom, Zuschnitt, Effekte und Wasserzeichen gelten nicht. Ein gekürzter Clip beginnt am Schlüsselbild an oder vor seinem Anfang.</translation>
    </message>
    <message>
        <source>Copy writes the source&apos;s sound as it is: sample rate, bit rate, channels and volume do not apply.</source>
        <translation>Kopieren übernimmt den Ton der Quelle unverändert: Abtastrate, Bitrate, Kanäle und Lautstärke gelten nicht.</translation>
    </message>
    <message>
        <source>Frame Size is not a valid value!</source>
        <translation>Die Bildgröße ist kein gültiger Wert!</translation>
    </message>
    <message>
        <source>Video BitRate is not a valid value!</source>
        <translation>Die Video-Bitrate ist kein gültiger Wert!</translation>
    </message>
    <message>
        <source>Audio SampleRate is not a valid value!</source>
        <translation>Die Audio-Abtastrate ist kein gültiger Wert!</translation>
    </message>
    <message>
        <source>Audio BitRate is not a valid value!</source>
        <translation>Die Audio-Bitrate ist kein gültiger Wert!</translation>
    </message>
    <message>
        <source>Unknown error</source>
        <translation>Unbekannter Fehler</translation>
    </message>
    <message>
        <source>a named pipe</source>
        <translation>eine benannte Pipe</translation>
    </message>
    <message>
        <source>a socket</source>
        <translation>ein Socket</translation>
    </message>
    <message>
        <source>a device</source>
        <translation>ein Gerät</translation>
    </message>
    <message>
        <source>a folder</source>
        <translation>ein Ordner</translation>
    </message>
    <message>
        <source>a special file</source>
        <translation>eine Spezialdatei</translation>
    </message>
    <message>
        <source>Warning - New Version Available for Download.</source>
        <translation>Warnung – Neue Version zum Herunterladen verfügbar.</translation>
    </message>
    <message>
        <source>The settings file %1 could not be read (%2). It was kept as %3, and the program goes on with the default settings.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht gelesen werden (%2). Sie wurde als %3 aufbewahrt, und das Programm arbeitet mit den Standardeinstellungen weiter.</translation>
    </message>
    <message>
        <source>The settings file %1 could not be read (%2). It is left as it is, and the program goes on with the default settings. Changes will not be kept.</source>
        <translation>Die Einstellungsdatei %1 konnte nicht gelesen werden (%2). Sie bleibt unverändert, und das Programm arbeitet mit den Standardeinstellungen weiter. Änderungen werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>The settings file %1 is read-only: it is read but never written. Changes will not be kept.</source>
        <translation>Die Einstellungsdatei %1 ist schreibgeschützt: Sie wird gelesen, aber nie geschrieben. Änderungen werden nicht gespeichert.</translation>
    </message>
    <message>
        <source>The settings could not be saved to %1 (%2). Changes will not be kept.</source>
        <translation>Die Einstellungen konnten nicht in %1 gespeichert werden (%2). Änderungen werden nicht gespeichert.</translation>
    </message>
</context>
<context>
    <name>TBatchEndNotice</name>
    <message>
        <source>Conversion finished</source>
        <translation>Umwandlung abgeschlossen</translation>
    </message>
    <message>
        <source>%1, %2.</source>
        <translation>%1, %2.</translation>
    </message>
    <message numerus="yes">
        <source>%n file(s) converted</source>
        <translation>
            <numerusform>%n Datei umgewandelt</numerusform>
            <numerusform>%n Dateien umgewandelt</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n fehlgeschlagen</numerusform>
            <numerusform>%n fehlgeschlagen</numerusform>
        </translation>
    </message>
</context>
<context>
    <name>TEditorDialog</name>
    <message>
        <source>Duration:    %1</source>
        <translation>Dauer:    %1</translation>
    </message>
    <message>
        <source>Time:    %1</source>
        <translation>Zeit:    %1</translation>
    </message>
</context>
<context>
    <name>TFilesModel</name>
    <message>
        <source>Source</source>
        <translation>Quelle</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Trimmed Length</source>
        <translation>Gekürzte Länge</translation>
    </message>
    <message>
        <source>Destination File</source>
        <translation>Zieldatei</translation>
    </message>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>reading...</source>
        <translation>wird gelesen...</translation>
    </message>
    <message>
        <source>Missing</source>
        <translation>Fehlt</translation>
    </message>
    <message>
        <source>The source file is no longer there: the row is not converted.</source>
        <translation>Die Quelldatei ist nicht mehr vorhanden: Diese Zeile wird nicht umgewandelt.</translation>
    </message>
</context>
<context>
    <name>TParameterGroups</name>
    <message>
        <source>Video Options</source>
        <translation>Videooptionen</translation>
    </message>
    <message>
        <source>Frame Size:</source>
        <translation>Bildgröße:</translation>
    </message>
    <message>
        <source>Encoder:</source>
        <translation>Encoder:</translation>
    </message>
    <message>
        <source>BitRate (Kbps):</source>
        <translation>Bitrate (kbit/s):</translation>
    </message>
    <message>
        <source>FrameRate (Fps):</source>
        <translation>Bildrate (fps):</translation>
    </message>
    <message>
        <source>Zoom:</source>
        <translation>Zoom:</translation>
    </message>
    <message>
        <source>Audio Options</source>
        <translation>Audiooptionen</translation>
    </message>
    <message>
        <source>SampleRate (Hz):</source>
        <translation>Abtastrate (Hz):</translation>
    </message>
    <message>
        <source>Volume:</source>
        <translation>Lautstärke:</translation>
    </message>
    <message>
        <source>Channel:</source>
        <translation>Kanäle:</translation>
    </message>
</context>
<context>
    <name>TPreviewPanel</name>
    <message>
        <source>play</source>
        <translation>Wiedergabe</translation>
    </message>
    <message>
        <source>pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>capture image</source>
        <translation>Standbild speichern</translation>
    </message>
    <message>
        <source>Mute</source>
        <translation>Stumm</translation>
    </message>
    <message>
        <source>Volume:</source>
        <translation>Lautstärke:</translation>
    </message>
    <message>
        <source>Opening...</source>
        <translation>Wird geöffnet...</translation>
    </message>
    <message>
        <source>Time:</source>
        <translation>Zeit:</translation>
    </message>
    <message>
        <source>Length:</source>
        <translation>Länge:</translation>
    </message>
</context>
<context>
    <name>TSkinManager</name>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Gray</source>
        <translation>Grau</translation>
    </message>
    <message>
        <source>Orange</source>
        <translation>Orange</translation>
    </message>
    <message>
        <source>Purple</source>
        <translation>Lila</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Light blue</source>
        <translation>Hellblau</translation>
    </message>
</context>
<context>
    <name>TSkinnedDialog</name>
    <message>
        <source>&amp;Default</source>
        <translation>&amp;Standard</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
</context>
<context>
    <name>TfmDirectory</name>
    <message>
        <source>Browse</source>
        <translation>Ordner wählen</translation>
    </message>
    <message>
        <source>Please select an output directory:</source>
        <translation>Bitte wählen Sie einen Ausgabeordner:</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Output folder cannot be located in CD-ROM.Please select another folder.</source>
        <translation>Der Ausgabeordner darf nicht auf einer CD-ROM liegen. Bitte wählen Sie einen anderen Ordner.</translation>
    </message>
</context>
<context>
    <name>TfrmAbout</name>
    <message>
        <source>About</source>
        <translation>Über</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>Batch conversion of video and audio for players, phones and the web.</source>
        <translation>Stapelumwandlung von Video und Audio für Player, Handys und das Web.</translation>
    </message>
</context>
<context>
    <name>TfrmCrop</name>
    <message>
        <source>Crop</source>
        <translation>Zuschneiden</translation>
    </message>
    <message>
        <source>&amp;Default</source>
        <translation>&amp;Standard</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Full screen</source>
        <translation>Vollbild</translation>
    </message>
    <message>
        <source>Letterbox</source>
        <translation>Letterbox</translation>
    </message>
    <message>
        <source>Source File:</source>
        <translation>Quelldatei:</translation>
    </message>
    <message>
        <source>Crop Size</source>
        <translation>Zuschnitt</translation>
    </message>
    <message>
        <source>Up</source>
        <translation>Oben</translation>
    </message>
    <message>
        <source>Left</source>
        <translation>Links</translation>
    </message>
    <message>
        <source>Down</source>
        <translation>Unten</translation>
    </message>
    <message>
        <source>Right</source>
        <translation>Rechts</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
</context>
<context>
    <name>TfrmFileInfo</name>
    <message>
        <source>File information</source>
        <translation>Dateiinformationen</translation>
    </message>
    <message>
        <source>File Name:</source>
        <translation>Dateiname:</translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation>Dauer:</translation>
    </message>
    <message>
        <source>Video </source>
        <translation>Video </translation>
    </message>
    <message>
        <source>Format:</source>
        <translation>Format:</translation>
    </message>
    <message>
        <source>Resolution:</source>
        <translation>Auflösung:</translation>
    </message>
    <message>
        <source>Bit Rate:</source>
        <translation>Bitrate:</translation>
    </message>
    <message>
        <source>Frame Rate:</source>
        <translation>Bildrate:</translation>
    </message>
    <message>
        <source>Total Frame:</source>
        <translation>Bilder gesamt:</translation>
    </message>
    <message>
        <source>Audio</source>
        <translation>Audio</translation>
    </message>
    <message>
        <source>Sample Rate:</source>
        <translation>Abtastrate:</translation>
    </message>
    <message>
        <source>Channel:</source>
        <translation>Kanäle:</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
</context>
<context>
    <name>TfrmMain</name>
    <message>
        <source>&amp;File</source>
        <translation>&amp;Datei</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <translation>&amp;Hinzufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <translation>&amp;Starten</translation>
    </message>
    <message>
        <source>Se&amp;ttings</source>
        <translation>Profilei&amp;nstellungen</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <translation>&amp;Beenden</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <translation>&amp;Bearbeiten</translation>
    </message>
    <message>
        <source>&amp;Crop</source>
        <translation>&amp;Zuschneiden</translation>
    </message>
    <message>
        <source>&amp;Trim</source>
        <translation>&amp;Kürzen</translation>
    </message>
    <message>
        <source>&amp;Video Effect &amp;&amp; Water Mark</source>
        <translation>&amp;Videoeffekte &amp;&amp; Wasserzeichen</translation>
    </message>
    <message>
        <source>&amp;Check All</source>
        <translation>&amp;Alle auswählen</translation>
    </message>
    <message>
        <source>&amp;Uncheck All</source>
        <translation>Alle a&amp;bwählen</translation>
    </message>
    <message>
        <source>&amp;Reverse Check</source>
        <translation>Auswahl &amp;umkehren</translation>
    </message>
    <message>
        <source>C&amp;heck</source>
        <translation>Aus&amp;wählen</translation>
    </message>
    <message>
        <source>U&amp;ncheck</source>
        <translation>Abwähle&amp;n</translation>
    </message>
    <message>
        <source>&amp;Tools</source>
        <translation>E&amp;xtras</translation>
    </message>
    <message>
        <source>&amp;Preference</source>
        <translation>&amp;Einstellungen</translation>
    </message>
    <message>
        <source>&amp;Skin</source>
        <translation>&amp;Farbschema</translation>
    </message>
    <message>
        <source>Related Software</source>
        <translation>Weitere Programme</translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation>&amp;Hilfe</translation>
    </message>
    <message>
        <source>&amp;Web Site</source>
        <translation>&amp;Website</translation>
    </message>
    <message>
        <source>&amp;Support and Contact</source>
        <translation>&amp;Support und Kontakt</translation>
    </message>
    <message>
        <source>&amp;About</source>
        <translation>&amp;Über</translation>
    </message>
    <message>
        <source>Add</source>
        <translation>Hinzufügen</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Clear</source>
        <translation>Leeren</translation>
    </message>
    <message>
        <source>Start</source>
        <translation>Starten</translation>
    </message>
    <message>
        <source>Video Information</source>
        <translation>Videoinformationen</translation>
    </message>
    <message>
        <source>Stop</source>
        <translation>Stopp</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Preview</source>
        <translation>Vorschau</translation>
    </message>
    <message>
        <source>Output Format</source>
        <translation>Ausgabeformat</translation>
    </message>
    <message>
        <source>Default</source>
        <translation>Standard</translation>
    </message>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Browse</source>
        <translation>Ändern…</translation>
    </message>
    <message>
        <source>Profile:</source>
        <translation>Profil:</translation>
    </message>
    <message>
        <source>Output Folder:</source>
        <translation>Zielordner:</translation>
    </message>
    <message>
        <source>Do you really want to exit?</source>
        <translation>Möchten Sie das Programm wirklich beenden?</translation>
    </message>
    <message>
        <source>Cannot play %1:
%2</source>
        <translation>%1 kann nicht abgespielt werden:
%2</translation>
    </message>
    <message>
        <source>&amp;Add</source>
        <comment>button</comment>
        <translation>Hin&amp;zufügen</translation>
    </message>
    <message>
        <source>&amp;Remove</source>
        <comment>button</comment>
        <translation>&amp;Entfernen</translation>
    </message>
    <message>
        <source>&amp;Clear</source>
        <comment>button</comment>
        <translation>&amp;Leeren</translation>
    </message>
    <message>
        <source>&amp;Edit</source>
        <comment>button</comment>
        <translation>Bea&amp;rbeiten</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <comment>button</comment>
        <translation>&amp;Starten</translation>
    </message>
    <message>
        <source>&amp;Settings</source>
        <comment>button</comment>
        <translation>Pro&amp;fileinstellungen</translation>
    </message>
    <message>
        <source>&amp;Exit</source>
        <comment>button</comment>
        <translation>Bee&amp;nden</translation>
    </message>
    <message>
        <source>&amp;Start</source>
        <comment>beside the profile</comment>
        <translation>Star&amp;ten</translation>
    </message>
    <message>
        <source>&amp;Play</source>
        <translation>&amp;Abspielen</translation>
    </message>
    <message>
        <source>Show in &amp;Folder</source>
        <translation>Im &amp;Ordner zeigen</translation>
    </message>
    <message>
        <source>%1% - %2</source>
        <translation>%1 % - %2</translation>
    </message>
    <message>
        <source>%1
is not there any more: it was moved or deleted after it was converted.</source>
        <translation>%1
ist nicht mehr vorhanden: Die Datei wurde nach der Umwandlung verschoben oder gelöscht.</translation>
    </message>
    <message>
        <source>The list of files could not be kept for the next start (%1).</source>
        <translation>Die Dateiliste konnte nicht für den nächsten Start gesichert werden (%1).</translation>
    </message>
</context>
<context>
    <name>TfrmPreference</name>
    <message>
        <source>Idle</source>
        <translation>Leerlauf</translation>
    </message>
    <message>
        <source>Normal</source>
        <translation>Normal</translation>
    </message>
    <message>
        <source>Lower</source>
        <translation>Niedriger</translation>
    </message>
    <message>
        <source>Lowest</source>
        <translation>Niedrigste</translation>
    </message>
    <message>
        <source>Preference</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>Snapshot</source>
        <translation>Schnappschuss</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>&amp;Durchsuchen</translation>
    </message>
    <message>
        <source>&amp;Open</source>
        <translation>Ö&amp;ffnen</translation>
    </message>
    <message>
        <source>Small Size</source>
        <translation>Kleine Größe</translation>
    </message>
    <message>
        <source>Full Size</source>
        <translation>Volle Größe</translation>
    </message>
    <message>
        <source>JPEG compression quality, from 1 to 100: a higher value keeps more of the picture and makes a larger file, a lower one a smaller file with less detail.</source>
        <translation>JPEG-Kompressionsqualität von 1 bis 100: Ein höherer Wert erhält mehr vom Bild und ergibt eine größere Datei, ein niedrigerer eine kleinere Datei mit weniger Details.</translation>
    </message>
    <message>
        <source>Snapshot folder:</source>
        <translation>Ordner für Schnappschüsse:</translation>
    </message>
    <message>
        <source>Snapshot size:</source>
        <translation>Größe der Schnappschüsse:</translation>
    </message>
    <message>
        <source>Snapshot format:</source>
        <translation>Format der Schnappschüsse:</translation>
    </message>
    <message>
        <source>Jpg Compression Quality:</source>
        <translation>JPG-Kompressionsqualität:</translation>
    </message>
    <message>
        <source>(The higher the value, the better the image quality.)</source>
        <translation>(Je höher der Wert, desto besser die Bildqualität.)</translation>
    </message>
    <message>
        <source>Work priority</source>
        <translation>Arbeitspriorität</translation>
    </message>
    <message>
        <source>Check for updates at start-up</source>
        <translation>Beim Start nach Aktualisierungen suchen</translation>
    </message>
</context>
<context>
    <name>TfrmProgress</name>
    <message>
        <source>Progress</source>
        <translation>Fortschritt</translation>
    </message>
    <message>
        <source>Current Time:</source>
        <translation>Aktuelle Zeit:</translation>
    </message>
    <message>
        <source>Length:</source>
        <translation>Länge:</translation>
    </message>
    <message>
        <source>File Size:</source>
        <translation>Dateigröße:</translation>
    </message>
    <message>
        <source>Progress:</source>
        <translation>Fortschritt:</translation>
    </message>
    <message>
        <source>File:</source>
        <translation>Datei:</translation>
    </message>
    <message>
        <source>Shut down computer after conversion</source>
        <translation>Computer nach der Umwandlung herunterfahren</translation>
    </message>
    <message>
        <source>Open the output folder after conversion</source>
        <translation>Ausgabeordner nach der Umwandlung öffnen</translation>
    </message>
    <message>
        <source>Save snapshot picture</source>
        <translation>Schnappschuss speichern</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Resume</source>
        <translation>Fortsetzen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TfrmSettings</name>
    <message>
        <source>Settings</source>
        <translation>Profileinstellungen</translation>
    </message>
    <message>
        <source>Output Format:</source>
        <translation>Ausgabeformat:</translation>
    </message>
</context>
<context>
    <name>TfrmShutDown</name>
    <message>
        <source>Shut down computer</source>
        <translation>Computer herunterfahren</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>The conversion has finished. The computer shuts down in 1 second.</source>
        <translation>Die Umwandlung ist beendet. Der Computer fährt in 1 Sekunde herunter.</translation>
    </message>
    <message>
        <source>The conversion has finished. The computer shuts down in %1 seconds.</source>
        <translation>Die Umwandlung ist beendet. Der Computer fährt in %1 Sekunden herunter.</translation>
    </message>
</context>
<context>
    <name>TfrmTrim</name>
    <message>
        <source>Trim</source>
        <translation>Kürzen</translation>
    </message>
    <message>
        <source>Play Time</source>
        <translation>Spielzeit</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>&amp;Default</source>
        <translation>&amp;Standard</translation>
    </message>
    <message>
        <source>Ok</source>
        <translation>OK</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
    <message>
        <source>Source Name:</source>
        <translation>Quellname:</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Reset</source>
        <translation>&amp;Zurücksetzen</translation>
    </message>
    <message>
        <source>(HH:MM:SS)</source>
        <translation>(HH:MM:SS)</translation>
    </message>
    <message>
        <source>Set Start Time:</source>
        <translation>Startzeit:</translation>
    </message>
    <message>
        <source>Set End Time:</source>
        <translation>Endzeit:</translation>
    </message>
    <message>
        <source>Trim Length:</source>
        <translation>Gekürzte Länge:</translation>
    </message>
</context>
<context>
    <name>TfrmWaterMark</name>
    <message>
        <source>Black</source>
        <translation>Schwarz</translation>
    </message>
    <message>
        <source>Maroon</source>
        <translation>Kastanienbraun</translation>
    </message>
    <message>
        <source>Green</source>
        <translation>Grün</translation>
    </message>
    <message>
        <source>Olive</source>
        <translation>Oliv</translation>
    </message>
    <message>
        <source>Navy</source>
        <translation>Marineblau</translation>
    </message>
    <message>
        <source>Purple</source>
        <translation>Lila</translation>
    </message>
    <message>
        <source>Teal</source>
        <translation>Blaugrün</translation>
    </message>
    <message>
        <source>Gray</source>
        <translation>Grau</translation>
    </message>
    <message>
        <source>Silver</source>
        <translation>Silber</translation>
    </message>
    <message>
        <source>Red</source>
        <translation>Rot</translation>
    </message>
    <message>
        <source>Lime</source>
        <translation>Hellgrün</translation>
    </message>
    <message>
        <source>Yellow</source>
        <translation>Gelb</translation>
    </message>
    <message>
        <source>Blue</source>
        <translation>Blau</translation>
    </message>
    <message>
        <source>Fuchsia</source>
        <translation>Fuchsie</translation>
    </message>
    <message>
        <source>Aqua</source>
        <translation>Türkis</translation>
    </message>
    <message>
        <source>White</source>
        <translation>Weiß</translation>
    </message>
    <message>
        <source>Watermark</source>
        <translation>Wasserzeichen</translation>
    </message>
    <message>
        <source>Play Time</source>
        <translation>Spielzeit</translation>
    </message>
    <message>
        <source>Length</source>
        <translation>Länge</translation>
    </message>
    <message>
        <source>Add Text</source>
        <translation>Text hinzufügen</translation>
    </message>
    <message>
        <source>Add Image</source>
        <translation>Bild hinzufügen</translation>
    </message>
    <message>
        <source>Effect</source>
        <translation>Effekte</translation>
    </message>
    <message>
        <source>&amp;Ok</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Bold</source>
        <translation>Fett</translation>
    </message>
    <message>
        <source>Italic</source>
        <translation>Kursiv</translation>
    </message>
    <message>
        <source>Underline</source>
        <translation>Unterstrichen</translation>
    </message>
    <message>
        <source>StrikeOut</source>
        <translation>Durchgestrichen</translation>
    </message>
    <message>
        <source>Clear Text</source>
        <translation>Text löschen</translation>
    </message>
    <message>
        <source>Font:</source>
        <translation>Schriftart:</translation>
    </message>
    <message>
        <source>Font Size:</source>
        <translation>Schriftgröße:</translation>
    </message>
    <message>
        <source>Font Color:</source>
        <translation>Schriftfarbe:</translation>
    </message>
    <message>
        <source>Font Style:</source>
        <translation>Schriftstil:</translation>
    </message>
    <message>
        <source>Horizontal Position:</source>
        <translation>Position X:</translation>
    </message>
    <message>
        <source>Vertical Position:</source>
        <translation>Position Y:</translation>
    </message>
    <message>
        <source>&amp;Browse</source>
        <translation>&amp;Durchsuchen</translation>
    </message>
    <message>
        <source>Transparent style 1</source>
        <translation>Transparenzstil 1</translation>
    </message>
    <message>
        <source>Transparent style 2</source>
        <translation>Transparenzstil 2</translation>
    </message>
    <message>
        <source>Clear Image</source>
        <translation>Bild entfernen</translation>
    </message>
    <message>
        <source>Image:</source>
        <translation>Bild:</translation>
    </message>
    <message>
        <source>Transparency:</source>
        <translation>Deckkraft:</translation>
    </message>
    <message>
        <source>Brightness:</source>
        <translation>Helligkeit:</translation>
    </message>
    <message>
        <source>Contrast:</source>
        <translation>Kontrast:</translation>
    </message>
    <message>
        <source>Saturation:</source>
        <translation>Sättigung:</translation>
    </message>
    <message>
        <source>Exposure:</source>
        <translation>Belichtung:</translation>
    </message>
    <message>
        <source>Process  Added Text</source>
        <translation>Hinzugefügten Text anwenden</translation>
    </message>
    <message>
        <source>Process  Added Image</source>
        <translation>Hinzugefügtes Bild anwenden</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Source Preview</source>
        <translation>Vorschau der Quelle</translation>
    </message>
    <message>
        <source>Bitmap files (*.bmp *.BMP)</source>
        <translation>Bitmap-Dateien (*.bmp *.BMP)</translation>
    </message>
    <message>
        <source>Picture files (*.bmp *.png *.jpg *.jpeg *.gif *.BMP *.PNG *.JPG *.JPEG *.GIF)</source>
        <translation>Bilddateien (*.bmp *.png *.jpg *.jpeg *.gif *.BMP *.PNG *.JPG *.JPEG *.GIF)</translation>
    </message>
</context>
</TS>
