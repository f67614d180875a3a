<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
<context>
    <name>AccessRuleInstaller</name>
    <message>
        <source>The rule could not be prepared.</source>
        <translation>Die Regel konnte nicht vorbereitet werden.</translation>
    </message>
    <message>
        <source>pkexec ended with code %1.</source>
        <translation>pkexec endete mit Code %1.</translation>
    </message>
</context>
<context>
    <name>Autostart</name>
    <message>
        <source>%1 can not be written.</source>
        <translation>%1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>%1 can not be removed.</source>
        <translation>%1 kann nicht entfernt werden.</translation>
    </message>
</context>
<context>
    <name>CommandLine</name>
    <message>
        <source>Configuration tool for the VEXO PX7 pedal set. Without options it opens its window.</source>
        <translation>Konfigurationswerkzeug für das Pedalset VEXO PX7. Ohne Optionen öffnet es sein Fenster.</translation>
    </message>
    <message>
        <source>Print the profiles of each axis, the selected ones marked with *, and the firmware version.</source>
        <translation>Gibt die Profile jeder Achse, die gewählten mit * markiert, und die Firmware-Version aus.</translation>
    </message>
    <message>
        <source>With --list: print JSON, for scripts.</source>
        <translation>Mit --list: als JSON ausgeben, für Skripte.</translation>
    </message>
    <message>
        <source>AXIS=NAME</source>
        <translation>AXIS=NAME</translation>
    </message>
    <message>
        <source>Write the profiles and the selection to the INI file FILE.</source>
        <translation>Schreibt die Profile und die Auswahl in die INI-Datei DATEI.</translation>
    </message>
    <message>
        <source>FILE</source>
        <translation>DATEI</translation>
    </message>
    <message>
        <source>Replace every profile in the pedal set with those of the INI file FILE.</source>
        <translation>Ersetzt alle Profile im Pedalset durch die der INI-Datei DATEI.</translation>
    </message>
    <message>
        <source>Unexpected argument: %1</source>
        <translation>Unerwartetes Argument: %1</translation>
    </message>
    <message>
        <source>Invalid --select value &quot;%1&quot;: give AXIS=NAME, with AXIS clutch, brake or throttle.</source>
        <translation>Ungültiger Wert für --select „%1“: Geben Sie AXIS=NAME an, mit AXIS clutch, brake oder throttle.</translation>
    </message>
    <message>
        <source>--select names the %1 twice.</source>
        <translation>--select nennt %1 zweimal.</translation>
    </message>
    <message>
        <source>--%1 takes one file name.</source>
        <translation>--%1 nimmt genau einen Dateinamen.</translation>
    </message>
    <message>
        <source>Check whether games see the pedal set: access to its configuration interface, its joystick mark and its input device. Exits 0 when games can use the pedals.</source>
        <translation>Prüft, ob Spiele das Pedalset sehen: Zugriff auf seine Konfigurationsschnittstelle, seine Joystick-Markierung und sein Eingabegerät. Endet mit 0, wenn Spiele die Pedale nutzen können.</translation>
    </message>
    <message>
        <source>Make NAME the selected profile of AXIS (clutch, brake or throttle) and keep it in the pedal set. Give it once for each axis to switch. Followed by -- and a command, start that command (a game) and put the earlier profiles back when it ends.</source>
        <translation>Macht NAME zum gewählten Profil von AXIS (clutch, brake oder throttle) und speichert die Wahl im Pedalset. Für jede Achse, die wechseln soll, einmal angeben. Gefolgt von -- und einem Befehl: startet diesen Befehl (ein Spiel) und stellt die vorherigen Profile wieder her, wenn er endet.</translation>
    </message>
    <message>
        <source>Give the command to start after --.</source>
        <translation>Den zu startenden Befehl nach -- angeben.</translation>
    </message>
    <message>
        <source>Only --select starts a command given after --.</source>
        <translation>Nur --select startet einen nach -- angegebenen Befehl.</translation>
    </message>
    <message>
        <source>Examples:
  Switch the brake profile while a game runs (in the game&apos;s launch options):
    vexo-setting --select brake=RACE -- %command%
  Print the profiles as JSON for a script:
    vexo-setting --list --json

Exit codes:
  0  done
  1  the running window did not answer
  2  the options were not understood
  3  no pedal set found
  4  the pedal set stopped answering
  5  the file, the profile name or the moment was refused
  6  the pedal set is plugged in, but this user may not open it
  7  --check: games may not see the pedals
  With --select and -- COMMAND: the command&apos;s own (127: it could not be started)
</source>
        <translation>Beispiele:
  Das Bremsprofil wechseln, solange ein Spiel läuft (in den Startoptionen des Spiels):
    vexo-setting --select brake=RACE -- %command%
  Die Profile als JSON für ein Skript ausgeben:
    vexo-setting --list --json

Rückgabewerte:
  0  erledigt
  1  das laufende Fenster hat nicht geantwortet
  2  die Optionen wurden nicht verstanden
  3  kein Pedalset gefunden
  4  das Pedalset antwortet nicht mehr
  5  die Datei, der Profilname oder der Zeitpunkt wurde abgelehnt
  6  das Pedalset ist angeschlossen, aber dieser Benutzer darf es nicht öffnen
  7  --check: Spiele sehen die Pedale womöglich nicht
  Mit --select und -- BEFEHL: der des Befehls (127: er konnte nicht gestartet werden)
</translation>
    </message>
    <message>
        <source>Print the rules that give each game its profiles (with --json: as JSON).</source>
        <translation>Gibt die Regeln aus, die jedem Spiel seine Profile geben (mit --json: als JSON).</translation>
    </message>
    <message>
        <source>Add a rule for GAME, or replace its rule: the game is recognised by --executable or --app-id and gets the profiles given with --select.</source>
        <translation>Fügt eine Regel für SPIEL hinzu oder ersetzt seine Regel: Das Spiel wird an --executable oder --app-id erkannt und bekommt die mit --select angegebenen Profile.</translation>
    </message>
    <message>
        <source>GAME</source>
        <translation>SPIEL</translation>
    </message>
    <message>
        <source>With --add-game: the game&apos;s executable (Linux or .exe).</source>
        <translation>Mit --add-game: die ausführbare Datei des Spiels (Linux oder .exe).</translation>
    </message>
    <message>
        <source>NAME</source>
        <translation>NAME</translation>
    </message>
    <message>
        <source>With --add-game: the game&apos;s Steam app id.</source>
        <translation>Mit --add-game: die Steam-App-ID des Spiels.</translation>
    </message>
    <message>
        <source>ID</source>
        <translation>ID</translation>
    </message>
    <message>
        <source>Remove the rule for GAME.</source>
        <translation>Entfernt die Regel für SPIEL.</translation>
    </message>
    <message>
        <source>Switch profiles by running game in the background, with a tray icon (given alone).</source>
        <translation>Wechselt die Profile im Hintergrund nach laufendem Spiel, mit einem Symbol im Infobereich (allein angeben).</translation>
    </message>
    <message>
        <source>--watch goes alone.</source>
        <translation>--watch wird allein angegeben.</translation>
    </message>
    <message>
        <source>Nothing to do: give --list, --select, --export, --import, --check, --games, --add-game or --remove-game.</source>
        <translation>Nichts zu tun: --list, --select, --export, --import, --check, --games, --add-game oder --remove-game angeben.</translation>
    </message>
    <message>
        <source>Give only one of --list, --select, --export, --import, --check, --games, --add-game and --remove-game.</source>
        <translation>Nur eine von --list, --select, --export, --import, --check, --games, --add-game und --remove-game angeben.</translation>
    </message>
    <message>
        <source>--json goes with --list or --games.</source>
        <translation>--json gehört zu --list oder --games.</translation>
    </message>
    <message>
        <source>--executable and --app-id go with --add-game.</source>
        <translation>--executable und --app-id gehören zu --add-game.</translation>
    </message>
    <message>
        <source>--add-game needs --executable or --app-id.</source>
        <translation>--add-game braucht --executable oder --app-id.</translation>
    </message>
    <message>
        <source>--add-game needs the game&apos;s profiles, given with --select AXIS=NAME.</source>
        <translation>--add-game braucht die Profile des Spiels, angegeben mit --select AXIS=NAME.</translation>
    </message>
    <message>
        <source>--%1 takes the game&apos;s name.</source>
        <translation>--%1 braucht den Namen des Spiels.</translation>
    </message>
    <message>
        <source>--app-id takes the game&apos;s Steam app id, a number.</source>
        <translation>--app-id braucht die Steam-App-ID des Spiels, eine Zahl.</translation>
    </message>
</context>
<context>
    <name>DeviceAccess</name>
    <message>
        <source>The pedal set is plugged in, but it could not be opened. Another program may be holding it: close other pedal or game configuration programs, then plug the pedal set in again.</source>
        <translation>Das Pedalset ist angeschlossen, konnte aber nicht geöffnet werden. Vielleicht hält ein anderes Programm es offen: Schließen Sie andere Programme zur Pedal- oder Spielkonfiguration und stecken Sie das Pedalset erneut ein.</translation>
    </message>
    <message>
        <source>The pedal set is plugged in, but this user may not open it: Linux lets only root open it until a udev rule gives access.

Install the rule from the source folder with these two commands:
sudo cp packaging/linux/%1 /etc/udev/rules.d/
sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger

The program connects by itself once it may.</source>
        <translation>Das Pedalset ist angeschlossen, aber dieser Benutzer darf es nicht öffnen: Linux erlaubt das nur root, bis eine udev-Regel den Zugriff gewährt.

Installieren Sie die Regel im Quellordner mit diesen zwei Befehlen:
sudo cp packaging/linux/%1 /etc/udev/rules.d/
sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger

Das Programm verbindet sich von selbst, sobald es darf.</translation>
    </message>
    <message>
        <source>Install the rule now? You will be asked for an administrator&apos;s password.</source>
        <translation>Die Regel jetzt installieren? Sie werden nach dem Passwort eines Administrators gefragt.</translation>
    </message>
</context>
<context>
    <name>GameInput</name>
    <message>
        <source>udev left no marks on it</source>
        <translation>udev hat es nicht markiert</translation>
    </message>
    <message>
        <source>marked as an accelerometer (%1)</source>
        <translation>als Beschleunigungssensor markiert (%1)</translation>
    </message>
    <message>
        <source>not marked as a joystick (%1)</source>
        <translation>nicht als Joystick markiert (%1)</translation>
    </message>
    <message>
        <source>marked as a joystick (%1)</source>
        <translation>als Joystick markiert (%1)</translation>
    </message>
    <message>
        <source>Games see the pedals: yes</source>
        <translation>Spiele sehen die Pedale: ja</translation>
    </message>
    <message>
        <source>Games may not see the pedals: no input device found</source>
        <translation>Spiele sehen die Pedale womöglich nicht: kein Eingabegerät gefunden</translation>
    </message>
    <message>
        <source>Games may not see the pedals: not classified by udev</source>
        <translation>Spiele sehen die Pedale womöglich nicht: von udev nicht eingeordnet</translation>
    </message>
    <message>
        <source>Games may not see the pedals: marked as an accelerometer</source>
        <translation>Spiele sehen die Pedale womöglich nicht: als Beschleunigungssensor markiert</translation>
    </message>
    <message>
        <source>Games may not see the pedals: not marked as a joystick</source>
        <translation>Spiele sehen die Pedale womöglich nicht: nicht als Joystick markiert</translation>
    </message>
    <message>
        <source>Games may not see the pedals: this user may not open them</source>
        <translation>Spiele sehen die Pedale womöglich nicht: dieser Benutzer darf sie nicht öffnen</translation>
    </message>
    <message>
        <source>The pedal set&apos;s input device %1 is marked as a joystick and this user may open it: games see the pedals.

To check by hand: udevadm info %1</source>
        <translation>Das Eingabegerät %1 des Pedalsets ist als Joystick markiert und dieser Benutzer darf es öffnen: Spiele sehen die Pedale.

Von Hand prüfen: udevadm info %1</translation>
    </message>
    <message>
        <source>The system shows no input device of the pedal set, so games can not see the pedals. Plug the pedal set in again; if that does not help, the kernel&apos;s HID input driver (usbhid) may be missing.</source>
        <translation>Das System zeigt kein Eingabegerät des Pedalsets, daher können Spiele die Pedale nicht sehen. Stecken Sie das Pedalset erneut ein; hilft das nicht, fehlt vielleicht der HID-Eingabetreiber des Kernels (usbhid).</translation>
    </message>
    <message>
        <source>udev left no marks on the pedal set&apos;s input device %1: udev may not be running on this system. Games that look for joysticks through udev will not find the pedals.</source>
        <translation>udev hat das Eingabegerät %1 des Pedalsets nicht markiert: Vielleicht läuft udev auf diesem System nicht. Spiele, die Joysticks über udev suchen, finden die Pedale nicht.</translation>
    </message>
    <message>
        <source>Games look for joysticks among the input devices udev marked as such. The pedal set&apos;s input device %1 is %2, so SDL, Steam, Proton and Wine games skip it, and the user at the seat is not given it.</source>
        <translation>Spiele suchen Joysticks unter den Eingabegeräten, die udev als solche markiert hat. Das Eingabegerät %1 des Pedalsets ist %2, daher übergehen SDL-, Steam-, Proton- und Wine-Spiele es, und der Benutzer am Platz bekommt es nicht.</translation>
    </message>
    <message>
        <source>Install the entry now? You will be asked for an administrator&apos;s password.</source>
        <translation>Den Eintrag jetzt installieren? Sie werden nach dem Passwort eines Administrators gefragt.</translation>
    </message>
    <message>
        <source>Configuration interface: yes</source>
        <translation>Konfigurationsschnittstelle: ja</translation>
    </message>
    <message>
        <source>Configuration interface: no, this user may not open it</source>
        <translation>Konfigurationsschnittstelle: nein, dieser Benutzer darf sie nicht öffnen</translation>
    </message>
    <message>
        <source>Configuration interface: no pedal set found</source>
        <translation>Konfigurationsschnittstelle: kein Pedalset gefunden</translation>
    </message>
    <message>
        <source>Joystick mark: not applicable on this system</source>
        <translation>Joystick-Markierung: auf diesem System nicht nötig</translation>
    </message>
    <message>
        <source>Input device: none found</source>
        <translation>Eingabegerät: keines gefunden</translation>
    </message>
    <message>
        <source>Input device: %1</source>
        <translation>Eingabegerät: %1</translation>
    </message>
    <message>
        <source>Joystick mark: yes</source>
        <translation>Joystick-Markierung: ja</translation>
    </message>
    <message>
        <source>Joystick mark: no, %1</source>
        <translation>Joystick-Markierung: nein, %1</translation>
    </message>
    <message>
        <source>Event node access: yes</source>
        <translation>Zugriff auf den Event-Knoten: ja</translation>
    </message>
    <message>
        <source>Event node access: no (%1)</source>
        <translation>Zugriff auf den Event-Knoten: nein (%1)</translation>
    </message>
    <message>
        <source>The pedal set&apos;s input device %1 is marked as a joystick, but this user may not open it (%2). udev gives a joystick to the user whose session is active at the seat; a remote login or a session in the background gets none.</source>
        <translation>Das Eingabegerät %1 des Pedalsets ist als Joystick markiert, aber dieser Benutzer darf es nicht öffnen (%2). udev gibt einen Joystick dem Benutzer, dessen Sitzung am Platz aktiv ist; eine Anmeldung aus der Ferne oder eine Sitzung im Hintergrund bekommt keinen.</translation>
    </message>
    <message>
        <source>The entry that marks the pedal set as a joystick is installed (%1), but not yet applied to it: plug the pedal set in again.</source>
        <translation>Der Eintrag, der das Pedalset als Joystick markiert, ist installiert (%1), aber noch nicht angewandt: Stecken Sie das Pedalset erneut ein.</translation>
    </message>
    <message>
        <source>Apply it now? You will be asked for an administrator&apos;s password.</source>
        <translation>Jetzt anwenden? Sie werden nach dem Passwort eines Administrators gefragt.</translation>
    </message>
    <message>
        <source>The fix is a hardware database entry that marks the pedal set as a joystick. From the source folder:
sudo cp packaging/linux/%1 /etc/udev/hwdb.d/
sudo systemd-hwdb $(test -e /etc/udev/hwdb.bin || echo --usr) update
sudo udevadm trigger %2</source>
        <translation>Abhilfe schafft ein Eintrag in der Hardware-Datenbank, der das Pedalset als Joystick markiert. Im Quellordner:
sudo cp packaging/linux/%1 /etc/udev/hwdb.d/
sudo systemd-hwdb $(test -e /etc/udev/hwdb.bin || echo --usr) update
sudo udevadm trigger %2</translation>
    </message>
</context>
<context>
    <name>GameRules</name>
    <message>
        <source>%1 can not be read: %2</source>
        <translation>%1 kann nicht gelesen werden: %2</translation>
    </message>
    <message>
        <source>Line %1 of %2 is not understood: %3</source>
        <translation>Zeile %1 von %2 wird nicht verstanden: %3</translation>
    </message>
    <message>
        <source>%1 can not be read.</source>
        <translation>%1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>Line %1 of %2: game %3 needs a name and an executable or an app_id.</source>
        <translation>Zeile %1 von %2: Spiel %3 braucht einen Namen und eine ausführbare Datei oder eine app_id.</translation>
    </message>
    <message>
        <source>%1 can not be written.</source>
        <translation>%1 kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Automatic switching: on</source>
        <translation>Automatischer Wechsel: an</translation>
    </message>
    <message>
        <source>Automatic switching: off</source>
        <translation>Automatischer Wechsel: aus</translation>
    </message>
    <message>
        <source>%1: %2</source>
        <translation>%1: %2</translation>
    </message>
    <message>
        <source>There is no game named &quot;%1&quot;.</source>
        <translation>Es gibt kein Spiel namens „%1“.</translation>
    </message>
    <message>
        <source>%1 removed.</source>
        <translation>%1 entfernt.</translation>
    </message>
    <message>
        <source>Steam app %1</source>
        <translation>Steam-App %1</translation>
    </message>
</context>
<context>
    <name>GameWatcher</name>
    <message>
        <source>%1 started: %2</source>
        <translation>%1 gestartet: %2</translation>
    </message>
    <message>
        <source>%1 ended: %2</source>
        <translation>%1 beendet: %2</translation>
    </message>
</context>
<context>
    <name>GamesDialog</name>
    <message>
        <source>Profiles per game</source>
        <translation>Profile je Spiel</translation>
    </message>
    <message>
        <source>Each game gets these profiles while it runs; the earlier ones come back when it ends. A game is recognised by its executable (a Linux program or a Windows .exe) or by its Steam app id.</source>
        <translation>Jedes Spiel bekommt diese Profile, solange es läuft; die vorherigen kommen zurück, wenn es endet. Ein Spiel wird an seiner ausführbaren Datei (ein Linux-Programm oder eine Windows-.exe) oder an seiner Steam-App-ID erkannt.</translation>
    </message>
    <message>
        <source>Game</source>
        <translation>Spiel</translation>
    </message>
    <message>
        <source>Executable</source>
        <translation>Ausführbare Datei</translation>
    </message>
    <message>
        <source>Steam app id</source>
        <translation>Steam-App-ID</translation>
    </message>
    <message>
        <source>Clutch</source>
        <translation>Kupplung</translation>
    </message>
    <message>
        <source>Brake</source>
        <translation>Bremse</translation>
    </message>
    <message>
        <source>Throttle</source>
        <translation>Gas</translation>
    </message>
    <message>
        <source>Add...</source>
        <translation>Hinzufügen …</translation>
    </message>
    <message>
        <source>Remove</source>
        <translation>Entfernen</translation>
    </message>
    <message>
        <source>Switch profiles automatically while a game runs</source>
        <translation>Profile automatisch wechseln, solange ein Spiel läuft</translation>
    </message>
    <message>
        <source>Also when the window is closed (start with the desktop)</source>
        <translation>Auch bei geschlossenem Fenster (mit dem Desktop starten)</translation>
    </message>
    <message>
        <source>Add a game</source>
        <translation>Ein Spiel hinzufügen</translation>
    </message>
    <message>
        <source>A running program, or the name of a game&apos;s executable:</source>
        <translation>Ein laufendes Programm oder der Name der ausführbaren Datei eines Spiels:</translation>
    </message>
    <message>
        <source>(as it is)</source>
        <translation>(wie es ist)</translation>
    </message>
    <message>
        <source>%1 (missing)</source>
        <translation>%1 (fehlt)</translation>
    </message>
    <message>
        <source>Row %1 needs a game&apos;s name and an executable or a Steam app id.</source>
        <translation>Zeile %1 braucht den Namen eines Spiels und eine ausführbare Datei oder eine Steam-App-ID.</translation>
    </message>
</context>
<context>
    <name>LaunchWrapper</name>
    <message>
        <source>Can not start %1: %2</source>
        <translation>%1 kann nicht gestartet werden: %2</translation>
    </message>
    <message>
        <source>The pedal set&apos;s profiles could not be read.</source>
        <translation>Die Profile des Pedalsets konnten nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The profiles could not be put back: %1</source>
        <translation>Die Profile konnten nicht wiederhergestellt werden: %1</translation>
    </message>
</context>
<context>
    <name>MainWindow</name>
    <message>
        <source>Vexo Setting</source>
        <translation>Vexo Setting</translation>
    </message>
    <message>
        <source>VEXO PX7</source>
        <translation>VEXO PX7</translation>
    </message>
    <message>
        <source>INPUTS</source>
        <translation>EINGÄNGE</translation>
    </message>
    <message>
        <source>CALIBRATION</source>
        <translation>KALIBRIERUNG</translation>
    </message>
    <message>
        <source>DEVICE</source>
        <translation>GERÄT</translation>
    </message>
    <message>
        <source>PROFILES</source>
        <translation>PROFILE</translation>
    </message>
    <message>
        <source>ABOUT</source>
        <translation>INFO</translation>
    </message>
    <message>
        <source>%v</source>
        <translation>%v</translation>
    </message>
    <message>
        <source>20000</source>
        <translation>20000</translation>
    </message>
    <message>
        <source>ENABLE CLUTCH</source>
        <translation>KUPPLUNG AKTIV</translation>
    </message>
    <message>
        <source>0%</source>
        <translation>0%</translation>
    </message>
    <message>
        <source>CALIBRATE</source>
        <translation>KALIBRIEREN</translation>
    </message>
    <message>
        <source>THROTTLE</source>
        <translation>GAS</translation>
    </message>
    <message>
        <source>BRAKE</source>
        <translation>BREMSE</translation>
    </message>
    <message>
        <source>CLUTCH</source>
        <translation>KUPPLUNG</translation>
    </message>
    <message>
        <source>NEW PROFILE</source>
        <translation>NEUES PROFIL</translation>
    </message>
    <message>
        <source>SAVE </source>
        <translation>SPEICHERN </translation>
    </message>
    <message>
        <source>REMOVE</source>
        <translation>ENTFERNEN</translation>
    </message>
    <message>
        <source>SAVE</source>
        <translation>SPEICHERN</translation>
    </message>
    <message>
        <source>IMPORT</source>
        <translation>IMPORTIEREN</translation>
    </message>
    <message>
        <source>EXPORT</source>
        <translation>EXPORTIEREN</translation>
    </message>
    <message>
        <source>MANUAL UPDATE</source>
        <translation>MANUELLES UPDATE</translation>
    </message>
    <message>
        <source>UPLOADING...</source>
        <translation>HOCHLADEN...</translation>
    </message>
    <message>
        <source>CHECK UPDATE</source>
        <translation>UPDATE SUCHEN</translation>
    </message>
    <message>
        <source>FIRMWARE</source>
        <translation>FIRMWARE</translation>
    </message>
    <message>
        <source>CLEAR FLASH DATA</source>
        <translation>FLASH LÖSCHEN</translation>
    </message>
    <message>
        <source>...</source>
        <translation>...</translation>
    </message>
    <message>
        <source>www.vexo-racing.com</source>
        <translation>www.vexo-racing.com</translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation>Firmware-Version:</translation>
    </message>
    <message>
        <source>WAITING FOR DEVICE...</source>
        <translation>WARTE AUF GERÄT...</translation>
    </message>
    <message>
        <source>Notify</source>
        <translation>Hinweis</translation>
    </message>
    <message>
        <source>No pedal movement was measured. Please move the pedal through its whole travel, then press SAVE.</source>
        <translation>Es wurde keine Pedalbewegung gemessen. Bitte bewegen Sie das Pedal über seinen ganzen Weg und drücken Sie dann SPEICHERN.</translation>
    </message>
    <message>
        <source>Please save other channel calibrate first.</source>
        <translation>Bitte speichern Sie zuerst die Kalibrierung des anderen Kanals.</translation>
    </message>
    <message>
        <source>Can not save to DEFAULT, please use a different name.</source>
        <translation>DEFAULT kann nicht überschrieben werden, bitte wählen Sie einen anderen Namen.</translation>
    </message>
    <message>
        <source>Please enter a profile name.</source>
        <translation>Bitte geben Sie einen Profilnamen ein.</translation>
    </message>
    <message>
        <source>Profile name is too long, please use a shorter name.</source>
        <translation>Der Profilname ist zu lang, bitte wählen Sie einen kürzeren Namen.</translation>
    </message>
    <message>
        <source>Profile is full</source>
        <translation>Alle Profilplätze sind belegt</translation>
    </message>
    <message>
        <source>Profile is saved</source>
        <translation>Profil gespeichert</translation>
    </message>
    <message>
        <source>DEFAULT can not be removed.</source>
        <translation>DEFAULT kann nicht entfernt werden.</translation>
    </message>
    <message>
        <source>INI file can not be written.</source>
        <translation>Die INI-Datei kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Please choose INI file</source>
        <translation>Bitte wählen Sie eine INI-Datei</translation>
    </message>
    <message>
        <source>INI file is not valid.</source>
        <translation>Die INI-Datei ist ungültig.</translation>
    </message>
    <message>
        <source>Firmware File (*.bin);;</source>
        <translation>Firmware-Datei (*.bin);;</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>Fehler</translation>
    </message>
    <message>
        <source>Not a valid firmware.</source>
        <translation>Keine gültige Firmware.</translation>
    </message>
    <message>
        <source>Firmware updated successfully.</source>
        <translation>Die Firmware wurde erfolgreich aktualisiert.</translation>
    </message>
    <message>
        <source>Firmware update failed: the device did not accept the data. Please check the connection and try again.</source>
        <translation>Firmware-Update fehlgeschlagen: Das Gerät hat die Daten nicht angenommen. Bitte prüfen Sie die Verbindung und versuchen Sie es erneut.</translation>
    </message>
    <message>
        <source>Writing ...</source>
        <translation>Schreiben ...</translation>
    </message>
    <message>
        <source>Uploading ...</source>
        <translation>Hochladen ...</translation>
    </message>
    <message>
        <source>No device is connected. The firmware was not sent.</source>
        <translation>Kein Gerät verbunden. Die Firmware wurde nicht gesendet.</translation>
    </message>
    <message>
        <source>Can not open the firmware file.</source>
        <translation>Die Firmware-Datei kann nicht geöffnet werden.</translation>
    </message>
    <message>
        <source>A firmware update is in progress. Please wait until it has finished.</source>
        <translation>Ein Firmware-Update läuft. Bitte warten Sie, bis es abgeschlossen ist.</translation>
    </message>
    <message>
        <source>No device is connected. The flash data was not cleared.</source>
        <translation>Kein Gerät verbunden. Die Flash-Daten wurden nicht gelöscht.</translation>
    </message>
    <message>
        <source>Do you want to continue?
This operation will delete all the settings stored in the device flash memory.</source>
        <translation>Möchten Sie fortfahren?
Dabei werden alle im Flash-Speicher des Geräts gespeicherten Einstellungen gelöscht.</translation>
    </message>
    <message>
        <source>The device did not accept the command. The flash data was not cleared.</source>
        <translation>Das Gerät hat den Befehl nicht angenommen. Die Flash-Daten wurden nicht gelöscht.</translation>
    </message>
    <message>
        <source>Flash data has been cleared.</source>
        <translation>Die Flash-Daten wurden gelöscht.</translation>
    </message>
    <message>
        <source>Checking ...</source>
        <translation>Prüfen ...</translation>
    </message>
    <message>
        <source>Update</source>
        <translation>Update</translation>
    </message>
    <message>
        <source>No valid device.</source>
        <translation>Kein gültiges Gerät.</translation>
    </message>
    <message>
        <source>Your firmware is already up to date.</source>
        <translation>Ihre Firmware ist bereits aktuell.</translation>
    </message>
    <message>
        <source>A new firmware is available, update now?</source>
        <translation>Eine neue Firmware ist verfügbar. Jetzt aktualisieren?</translation>
    </message>
    <message>
        <source>Version: </source>
        <translation>Version: </translation>
    </message>
    <message>
        <source>Downloading ...</source>
        <translation>Herunterladen ...</translation>
    </message>
    <message>
        <source>Download file fail.</source>
        <translation>Der Download ist fehlgeschlagen.</translation>
    </message>
    <message>
        <source>Can not write to temp.</source>
        <translation>In den temporären Ordner kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>NO ACCESS TO DEVICE</source>
        <translation>GERÄT OHNE ZUGRIFF</translation>
    </message>
    <message>
        <source>The udev rule was not installed.</source>
        <translation>Die udev-Regel wurde nicht installiert.</translation>
    </message>
    <message>
        <source>The profiles could not be backed up to %1.
Go on without a backup?</source>
        <translation>Die Profile konnten nicht nach %1 gesichert werden.
Ohne Sicherung fortfahren?</translation>
    </message>
    <message>
        <source>Can not reach the update server.</source>
        <translation>Der Update-Server ist nicht erreichbar.</translation>
    </message>
    <message>
        <source>The import stopped before all profiles were written.</source>
        <translation>Der Import wurde abgebrochen, bevor alle Profile geschrieben waren.</translation>
    </message>
    <message>
        <source>The import stopped before all profiles were written. The profiles as they were are in %1.</source>
        <translation>Der Import wurde abgebrochen, bevor alle Profile geschrieben waren. Die bisherigen Profile sind in %1.</translation>
    </message>
    <message>
        <source>Send the firmware file %1 (%2) to the pedal set?
Keep the pedal set plugged in until the update has finished. The profiles are backed up first.</source>
        <translation>Die Firmware-Datei %1 (%2) an das Pedalset senden?
Lassen Sie das Pedalset angeschlossen, bis das Update abgeschlossen ist. Die Profile werden vorher gesichert.</translation>
    </message>
    <message>
        <source>The profiles as they were are kept in %1.</source>
        <translation>Die bisherigen Profile sind in %1 gesichert.</translation>
    </message>
    <message>
        <source>Profiles imported.</source>
        <translation>Profile importiert.</translation>
    </message>
    <message>
        <source>The pedal set is busy with another operation of the window. Please wait until it has finished.</source>
        <translation>Das Pedalset ist mit einem anderen Vorgang des Fensters beschäftigt. Bitte warten Sie, bis er abgeschlossen ist.</translation>
    </message>
    <message>
        <source>The joystick mark is installed.</source>
        <translation>Die Joystick-Markierung ist installiert.</translation>
    </message>
    <message>
        <source>The joystick mark was not installed.</source>
        <translation>Die Joystick-Markierung wurde nicht installiert.</translation>
    </message>
    <message>
        <source>Restart games and Steam if they are running.</source>
        <translation>Starten Sie laufende Spiele und Steam neu.</translation>
    </message>
    <message>
        <source>GAMES</source>
        <translation>SPIELE</translation>
    </message>
</context>
<context>
    <name>ProfileCommands</name>
    <message>
        <source>The pedal set stopped answering.</source>
        <translation>Das Pedalset antwortet nicht mehr.</translation>
    </message>
    <message>
        <source>Firmware Version:</source>
        <translation>Firmware-Version:</translation>
    </message>
    <message>
        <source>The pedal set&apos;s profiles could not all be read; the selection is left as it is.</source>
        <translation>Die Profile des Pedalsets konnten nicht alle gelesen werden; die Auswahl bleibt, wie sie ist.</translation>
    </message>
    <message>
        <source>The pedal set has no %1 profile named &quot;%2&quot;.</source>
        <translation>Das Pedalset hat für %1 kein Profil namens „%2“.</translation>
    </message>
    <message>
        <source>INI file can not be written.</source>
        <translation>Die INI-Datei kann nicht geschrieben werden.</translation>
    </message>
    <message>
        <source>Profiles exported to %1</source>
        <translation>Profile nach %1 exportiert</translation>
    </message>
    <message>
        <source>Please choose INI file</source>
        <translation>Bitte wählen Sie eine INI-Datei</translation>
    </message>
    <message>
        <source>INI file is not valid.</source>
        <translation>Die INI-Datei ist ungültig.</translation>
    </message>
    <message>
        <source>Profiles imported from %1</source>
        <translation>Profile aus %1 importiert</translation>
    </message>
    <message>
        <source>No pedal set found.</source>
        <translation>Kein Pedalset gefunden.</translation>
    </message>
    <message>
        <source>The profiles could not be backed up to %1; nothing was imported.</source>
        <translation>Die Profile konnten nicht nach %1 gesichert werden; es wurde nichts importiert.</translation>
    </message>
    <message>
        <source>Profiles backed up to %1</source>
        <translation>Profile gesichert in %1</translation>
    </message>
    <message>
        <source>The file %1 can not be read.</source>
        <translation>Die Datei %1 kann nicht gelesen werden.</translation>
    </message>
    <message>
        <source>The pedal set is plugged in, but this user may not open it. Give access from the source folder with: sudo cp packaging/linux/%1 /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger</source>
        <translation>Das Pedalset ist angeschlossen, aber dieser Benutzer darf es nicht öffnen. Installieren Sie die Regel im Quellordner mit: sudo cp packaging/linux/%1 /etc/udev/rules.d/ &amp;&amp; sudo udevadm control --reload-rules &amp;&amp; sudo udevadm trigger</translation>
    </message>
    <message>
        <source>The pedal set is in use by %1 (process %2); try again when it has finished.</source>
        <translation>Das Pedalset wird von %1 (Prozess %2) benutzt; versuchen Sie es erneut, wenn es fertig ist.</translation>
    </message>
</context>
<context>
    <name>SingleInstance</name>
    <message>
        <source>The request was not understood.</source>
        <translation>Die Anfrage wurde nicht verstanden.</translation>
    </message>
    <message>
        <source>The running window did not answer in time; it may still carry out the command.</source>
        <translation>Das laufende Fenster hat nicht rechtzeitig geantwortet; es kann den Befehl noch ausführen.</translation>
    </message>
</context>
<context>
    <name>TrayWatcher</name>
    <message>
        <source>Open</source>
        <translation>Öffnen</translation>
    </message>
    <message>
        <source>Pause</source>
        <translation>Pause</translation>
    </message>
    <message>
        <source>Quit</source>
        <translation>Beenden</translation>
    </message>
    <message>
        <source>Vexo Setting: profiles per game</source>
        <translation>Vexo Setting: Profile je Spiel</translation>
    </message>
    <message>
        <source>Vexo Setting</source>
        <translation>Vexo Setting</translation>
    </message>
    <message>
        <source>Paused</source>
        <translation>Angehalten</translation>
    </message>
    <message>
        <source>No game running</source>
        <translation>Kein Spiel läuft</translation>
    </message>
    <message>
        <source>A watcher is already running (process %1).</source>
        <translation>Es läuft schon ein Wächter (Prozess %1).</translation>
    </message>
</context>
<context>
    <name>VexoAxis</name>
    <message>
        <source>0</source>
        <translation>0</translation>
    </message>
    <message>
        <source>50</source>
        <translation>50</translation>
    </message>
    <message>
        <source>100</source>
        <translation>100</translation>
    </message>
</context>
</TS>
