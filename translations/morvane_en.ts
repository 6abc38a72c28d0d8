<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en">
<context>
    <name>TBatchEndNotice</name>
    <message numerus="yes">
        <source>%n file(s) converted</source>
        <translation>
            <numerusform>%n file converted</numerusform>
            <numerusform>%n files converted</numerusform>
        </translation>
    </message>
    <message numerus="yes">
        <source>%n failed</source>
        <translation>
            <numerusform>%n failed</numerusform>
            <numerusform>%n failed</numerusform>
        </translation>
    </message>
</context>
</TS>
