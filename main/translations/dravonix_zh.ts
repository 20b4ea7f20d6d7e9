<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="zh_CN">
<context>
    <name>Dravonix</name>
    <message>
        <source>Tolvane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log Out</source>
        <translation>退出登录</translation>
    </message>
    <message>
        <source>quit current order</source>
        <translation>退出当前工单</translation>
    </message>
    <message>
        <source>Detecting, please stop first</source>
        <translation>正在检测，请先停止</translation>
    </message>
    <message>
        <source>After-sales maintenance test</source>
        <translation>售后维修测试</translation>
    </message>
    <message>
        <source>Error</source>
        <translation>错误</translation>
    </message>
</context>
<context>
    <name>DravonixClass</name>
    <message>
        <source>Tolvane V1.0.0.6</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Tolvane</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>LOGO</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
