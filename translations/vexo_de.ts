<?xml version='1.0' encoding='utf-8'?>
<!DOCTYPE TS>
<TS version="2.1" language="de_DE" sourcelanguage="en">
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