<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="World"/>
	<Parameter type="float4x4" name="WorldView"/>
	<Parameter type="float4x4" name="WorldViewProjection"/>
	<Parameter type="float4x4" name="ViewProjection" shared="true"/>
	<Parameter type="texture" name="DiffuseMap"/>
	<Parameter type="texture" name="NormalMap"/>
	<Parameter type="texture" name="EffectMap"/>
	<Parameter type="texture" name="Environment"/>
	<Technique name="Technique0">
		<Pass vertex="Effects/Quads4.vert" fragment="Effects/Quads4.frag">
			<State name="ZEnable" value="false"/>
			<State name="CullMode" value="None"/>
		</Pass>
	</Technique>
</Effect>
